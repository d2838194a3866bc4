#include "job/plot_job.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "drawing_files.h"
#include "fakes.h"
#include "job/header_text.h"
#include "ofi_builder.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using test::FakeHost;
using test::FakeSpooler;
using test::OfiBuilder;
using test::TempFolder;

class PlotJobTest : public ::testing::Test {
 protected:
  PlotJobTest() : host(Settings()) {}

  PlotSettings Settings() { return test::SearchSettings(start.path(), ofi.path(), "ﾌｧｲﾙ"); }

  // A small drawing whose header names it.
  void AddDrawing(const std::string& name, const std::string& label, int copies = 1) {
    OfiBuilder b;
    b.Header(label).Copies(copies).End();
    b.Save(ofi / name);
  }

  // Drawings written just before the run count as settled.
  JobSummary Run() { return PlotJob(host, &spooler, start.path(), {.settle_seconds = 0}).Run(); }

  TempFolder start, ofi;
  FakeHost host;
  FakeSpooler spooler;
};

std::string Line(const std::string& label, const char* suffix) {
  std::string header = label;
  header.resize(16, ' ');
  return header + ",    " + suffix;
}

TEST_F(PlotJobTest, SearchTakesOnlyNonEmptyOfiFiles) {
  // 100 bytes: a blank header and the end marker.
  std::string drawing(96, '\0');
  drawing += std::string("\x1b@E\0", 4);
  ofi.WriteFile("A.OFI", drawing);
  ofi.WriteFile("B.ofi", "");
  ofi.WriteFile("C.Ofi", drawing);
  std::filesystem::create_directory(ofi / "D.OFI");
  JobSummary s = Run();
  EXPECT_EQ(s.finished, 1);
  EXPECT_TRUE(ofi.Exists("A.GLF"));
  EXPECT_FALSE(ofi.Exists("C.GLF"));
  ASSERT_EQ(host.log.size(), 1u);
  EXPECT_EQ(host.log[0], BlankHeaderText() + "　出図終了");
}

TEST_F(PlotJobTest, EmptyFolderLogsNoDrawings) {
  JobSummary s = Run();
  EXPECT_TRUE(s.Clean());
  EXPECT_EQ(host.log, std::vector<std::string>{"図面が無いか、サイズが0です"});
}

TEST_F(PlotJobTest, GlfIsNamedUpToTheFirstDotAndDrawingsRunInNameOrder) {
  AddDrawing("x.y.OFI", "SECOND");
  AddDrawing("a.OFI", "FIRST");
  Run();
  EXPECT_TRUE(ofi.Exists("x.GLF"));
  EXPECT_EQ(ofi.ReadFile("x.GLF"), "\x1b%-1BBPINPUSP0\033E");
  EXPECT_EQ(host.log,
            (std::vector<std::string>{Line("FIRST", "　出図終了"), Line("SECOND", "　出図終了")}));
}

TEST_F(PlotJobTest, FinishedOfiKeptOrDeleted) {
  AddDrawing("A.OFI", "A");
  Run();
  EXPECT_TRUE(ofi.Exists("A.OFI"));
  host.settings.OfiFEnd = "消去";
  Run();
  EXPECT_FALSE(ofi.Exists("A.OFI"));
  EXPECT_TRUE(ofi.Exists("A.GLF"));
}

TEST_F(PlotJobTest, AbortDuringDrawingTwoOfFive) {
  host.settings.OfiFEnd = "消去";
  for (int i = 1; i <= 5; ++i)
    AddDrawing("D" + std::to_string(i) + ".OFI", "D" + std::to_string(i));
  // Abort once drawing 2 is being translated.
  host.on_events = [](FakeHost& h) {
    if (h.log.size() == 2 && h.log[1].find("出図中") != std::string::npos) h.abort = true;
  };
  JobSummary s = Run();
  EXPECT_EQ(s.finished, 1);
  EXPECT_EQ(host.log.size(), 2u);
  EXPECT_EQ(host.log[0], Line("D1", "　出図終了"));
  // The abort came while the header line was shown: no translation started.
  EXPECT_EQ(host.log[1], Line("D2", "　出図中"));
  EXPECT_FALSE(ofi.Exists("D1.OFI"));
  EXPECT_TRUE(ofi.Exists("D2.OFI"));
  EXPECT_FALSE(ofi.Exists("D2.GLF"));
  for (int i = 3; i <= 5; ++i) EXPECT_TRUE(ofi.Exists("D" + std::to_string(i) + ".OFI"));
}

TEST_F(PlotJobTest, AbortInsideADrawingStopsItAndKeepsItsOfi) {
  host.settings.OfiFEnd = "消去";
  AddDrawing("D1.OFI", "D1");
  // Long enough for the translation to ask more than once (it asks every
  // few thousand words).
  OfiBuilder d2;
  d2.Header("D2");
  for (int i = 0; i < 20000; ++i) d2.Word(0);
  d2.End().Save(ofi / "D2.OFI");
  long events_at_header = -1;
  host.on_events = [&](FakeHost& h) {
    if (h.log.size() == 2 && events_at_header < 0) events_at_header = h.events;
    if (events_at_header >= 0 && h.events > events_at_header + 2) h.abort = true;
  };
  JobSummary s = Run();
  EXPECT_EQ(s.finished, 1);
  EXPECT_EQ(s.stopped, 1);
  EXPECT_EQ(host.log.back(), Line("D2", "　出図中止"));
  EXPECT_TRUE(ofi.Exists("D2.OFI"));
  EXPECT_FALSE(ofi.Exists("D2.GLF"));
}

TEST_F(PlotJobTest, SecondJobLogsBelowTheFirst) {
  AddDrawing("A.OFI", "A");
  Run();
  Run();
  EXPECT_EQ(host.log, (std::vector<std::string>{Line("A", "　出図終了"), Line("A", "　出図終了")}));
}

TEST_F(PlotJobTest, WorkFileExistsOnlyDuringTheJob) {
  AddDrawing("A.OFI", "A");
  bool seen = false;
  host.on_events = [&](FakeHost&) { seen = seen || start.Exists("Tovrin.wok"); };
  Run();
  EXPECT_TRUE(seen);
  EXPECT_FALSE(start.Exists("Tovrin.wok"));
}

TEST_F(PlotJobTest, MissingFolderEndsTheJobInOrder) {
  host.settings.OfiFile = ofi / "nowhere";
  JobSummary s = Run();
  EXPECT_TRUE(s.failed);
  ASSERT_EQ(host.log.size(), 1u);
  EXPECT_NE(host.log[0].find("nowhere"), std::string::npos);
}

TEST_F(PlotJobTest, MissingChosenDrawingDoesNotBlockTheOthers) {
  host.settings.OfiFMen = "手動";
  AddDrawing("B.OFI", "B");
  host.chooser = [](std::string&) { return std::vector<std::string>{"A.OFI", "B.OFI"}; };
  JobSummary s = Run();
  EXPECT_EQ(s.stopped, 1);
  EXPECT_EQ(s.finished, 1);
  ASSERT_EQ(host.log.size(), 3u);
  EXPECT_EQ(host.log[0], BlankHeaderText() + "　出図中止");
  EXPECT_NE(host.log[1].find("A.OFI"), std::string::npos);
  EXPECT_EQ(host.log[2], Line("B", "　出図終了"));
}

TEST_F(PlotJobTest, DeliveryToThePlotterSendsTheGlfThenDeletesIt) {
  host.settings.OfiOut = "ﾌﾟﾛｯﾀ";
  host.settings.OfiFEnd = "消去";
  AddDrawing("A.OFI", "A", 3);
  JobSummary s = Run();
  EXPECT_TRUE(s.Clean());
  EXPECT_EQ(host.printer, "Plotter1");  // filled from the default printer
  ASSERT_EQ(spooler.documents.size(), 1u);
  const auto& doc = spooler.documents[0];
  EXPECT_EQ(doc.printer, "Plotter1");
  EXPECT_EQ(doc.title, "Test");
  EXPECT_EQ(doc.bytes, "\x1b%-1BBPINPUSP0PGRP2;\033E");
  EXPECT_EQ(doc.calls,
            (std::vector<std::string>{"open", "create", "start", "write", "end", "close"}));
  EXPECT_FALSE(ofi.Exists("A.GLF"));
  EXPECT_FALSE(ofi.Exists("A.OFI"));
}

// The OFI stays; no GLF is left behind to pass for its plot.
TEST_F(PlotJobTest, FailedDeliveryKeepsTheOfiAndEndsTheJob) {
  host.settings.OfiOut = "ﾌﾟﾛｯﾀ";
  host.settings.OfiFEnd = "消去";
  host.printer = "Nowhere";
  AddDrawing("A.OFI", "A");
  AddDrawing("B.OFI", "B");
  JobSummary s = Run();
  EXPECT_TRUE(s.failed);
  EXPECT_EQ(s.finished, 0);
  EXPECT_FALSE(ofi.Exists("A.GLF"));
  EXPECT_TRUE(ofi.Exists("A.OFI"));
  EXPECT_FALSE(ofi.Exists("B.GLF"));
  ASSERT_EQ(host.log.size(), 2u);
  EXPECT_EQ(host.log[0], Line("A", "　出図中止"));
  EXPECT_NE(host.log[1].find("Nowhere"), std::string::npos);
}

// Writes that fail as on a full disk: a file size limit, in a child of the
// test's own (the history in memory, so that only the GLF meets it).
TEST_F(PlotJobTest, GlfWriteFailureKeepsTheOfiAndEndsTheJob) {
  host.settings.OfiFEnd = "消去";
  test::WriteBytes(ofi / "A.OFI", test::LinesDrawing("A", 20000));  // a GLF over 64 KiB
  AddDrawing("B.OFI", "B");
  const pid_t child = ::fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1 << 16, 1 << 16};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    auto history = MakeMemoryHistory();
    JobOptions options;
    options.settle_seconds = 0;
    options.history = history.get();
    const JobSummary s = PlotJob(host, &spooler, start.path(), options).Run();
    {
      std::ofstream log(start / "log.txt");
      for (const std::string& line : host.log) log << line << "\n";
    }
    ::_exit(s.failed ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::string log = start.ReadFile("log.txt");
  EXPECT_EQ(log.substr(0, log.find('\n')), test::HeaderLine("A") + "　出図中止");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;  // the reason; B not started
  EXPECT_TRUE(ofi.Exists("A.OFI"));
  EXPECT_FALSE(ofi.Exists("A.GLF"));
  EXPECT_TRUE(ofi.Exists("B.OFI"));
  for (const auto& e : std::filesystem::directory_iterator(ofi.path()))
    EXPECT_NE(e.path().filename().string().front(), '.') << e.path();  // no temp left
}

TEST_F(PlotJobTest, ManualModeUsesTheChosenFiles) {
  host.settings.OfiFMen = "手動";
  AddDrawing("A.OFI", "A");
  AddDrawing("B.OFI", "B");
  host.chooser = [](std::string&) { return std::vector<std::string>{"B.OFI"}; };
  Run();
  EXPECT_EQ(host.log, std::vector<std::string>{Line("B", "　出図終了")});
}

TEST(HeaderText, GroupsArePaddedToFourCharacters) {
  std::vector<uint8_t> bytes(128, 0);
  const char* text =
      "AB\0\0\x83\x41\x83\x43"
      "12345678"
      "R1";
  for (int i = 0; i < 18; ++i) bytes[108 + i] = static_cast<uint8_t>(text[i]);
  // ア and イ are two bytes each but one character.
  EXPECT_EQ(HeaderText(bytes), "AB  アイ  12345678,R1  ");
  EXPECT_EQ(HeaderText(std::vector<uint8_t>(10, 0)), BlankHeaderText());
}

}  // namespace
}  // namespace tovrin
