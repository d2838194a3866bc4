// A drawing that another program changes while the job is reading it: the
// plot is dropped and the drawing kept, never plotted half old, half new.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sqlite3.h>

#include "fakes.h"
#include "job/plot_job.h"
#include "ofi_builder.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using test::FakeHost;
using test::FakeSpooler;
using test::OfiBuilder;
using test::TempFolder;

// Several windows long, so that the job is still reading when it changes.
constexpr int kFillerWords = 1'500'000;

class ChangingDrawingTest : public ::testing::Test {
 protected:
  ChangingDrawingTest() : host(Settings()) {}

  PlotSettings Settings() { return test::SearchSettings(start.path(), ofi.path(), "ﾌｧｲﾙ", "消去"); }

  static OfiBuilder LongDrawing(const std::string& label) {
    OfiBuilder b;
    b.Header(label).Copies(2);
    for (int i = 0; i < kFillerWords; ++i) b.Word(0);
    b.End();
    return b;
  }

  // Runs a job that calls `change` once, in the middle of the drawing.
  JobSummary RunChanging(std::function<void()> change) {
    long started = -1;
    host.on_events = [&, change](FakeHost& h) {
      if (started < 0 && !h.log.empty()) started = h.events;
      if (started >= 0 && h.events == started + 3) change();
    };
    JobSummary s = Run();
    host.on_events = nullptr;
    return s;
  }
  JobSummary Run() { return PlotJob(host, &spooler, start.path(), {.settle_seconds = 0}).Run(); }

  std::string Last() const { return host.log.empty() ? "" : host.log.back(); }

  TempFolder start, ofi;
  FakeHost host;
  FakeSpooler spooler;
};

TEST_F(ChangingDrawingTest, ADrawingCutShortOrGrownWhileReadIsKeptForTheNextJob) {
  const std::string path = ofi / "D.OFI";
  const std::vector<uint8_t> whole = LongDrawing("D").Bytes();
  for (bool grow : {false, true}) {
    SCOPED_TRACE(grow ? "grown" : "cut short");
    host.log.clear();
    LongDrawing("D").Save(path);
    JobSummary s = RunChanging([&] {
      if (grow)
        std::ofstream(path, std::ios::app | std::ios::binary) << "more";
      else
        std::filesystem::resize_file(path, whole.size() / 3);
    });
    EXPECT_EQ(s.stopped, 1);
    EXPECT_NE(Last().find("は読み取り中に変わったため残しました"), std::string::npos) << Last();
    EXPECT_TRUE(ofi.Exists("D.OFI"));
    EXPECT_FALSE(ofi.Exists("D.GLF"));
    EXPECT_FALSE(ofi.Exists(".D.GLF.tmp"));
  }
  // Once whole again, the next job plots it.
  host.log.clear();
  LongDrawing("D").Save(path);
  JobSummary s = Run();
  EXPECT_EQ(s.finished, 1);
  EXPECT_TRUE(ofi.Exists("D.GLF"));
  EXPECT_FALSE(ofi.Exists("D.OFI"));
}

TEST_F(ChangingDrawingTest, ADrawingReplacedWhileReadIsPlottedWholeAndTheNewOneStays) {
  LongDrawing("OLD").Save(ofi / "D.OFI");
  OfiBuilder replacement;
  replacement.Header("NEW").End();
  replacement.Save(ofi / "new.tmp");
  JobSummary s = RunChanging([&] { std::filesystem::rename(ofi / "new.tmp", ofi / "D.OFI"); });
  // The job read the file it opened to its end: the old drawing, whole.
  EXPECT_EQ(s.finished, 1);
  const std::string glf = ofi.ReadFile("D.GLF");
  EXPECT_EQ(glf.substr(glf.size() - 13), "PUSP0PGRP1;\033E");
  // The new drawing of the same name is not the one plotted: it stays.
  ASSERT_TRUE(ofi.Exists("D.OFI"));
  std::ifstream in(ofi / "D.OFI", std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(bytes.size(), replacement.Bytes().size());
}

}  // namespace
}  // namespace tovrin

namespace tovrin {
namespace {

// Another program writing the same history (a second poller, the desktop
// program) is never made to wait while this job translates a big drawing.
TEST_F(ChangingDrawingTest, TheHistoryIsFreeForOthersWhileABigDrawingIsTranslated) {
  OfiBuilder().Header("SMALL").End().Save(ofi / "A.OFI");
  LongDrawing("BIG").Save(ofi / "B.OFI");
  int begin_result = -1;
  long big_started = -1;
  host.on_events = [&](FakeHost& h) {
    if (big_started < 0 && h.log.size() == 2) big_started = h.events;
    if (big_started < 0 || h.events != big_started + 3) return;
    sqlite3* db = nullptr;
    sqlite3_open((start / "Tovrin.db").c_str(), &db);
    sqlite3_busy_timeout(db, 0);
    begin_result = sqlite3_exec(db, "BEGIN IMMEDIATE; ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  };
  Run();
  EXPECT_EQ(begin_result, SQLITE_OK);  // tried, while B was being translated
  EXPECT_TRUE(ofi.Exists("B.GLF"));
}

}  // namespace
}  // namespace tovrin
