// Delivery through a real cupsd. scripts/test.sh starts a private one and
// names it in the environment; without it these tests skip.
#include "platform/cups/cups_spooler.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>

#include "fake_plotter.h"
#include "fakes.h"
#include "job/delivery.h"
#include "job/plot_job.h"
#include "ofi_builder.h"
#include "platform/cp932.h"
#include "private_cups.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using test::FakeHost;
using test::FakePlotter;
using test::OfiBuilder;
using test::TempFolder;

constexpr std::chrono::seconds kJobTimeout{30};

struct QueuedJob {
  std::string title, format;
};

// Jobs of the queue with an id above `after`, oldest first.
std::vector<QueuedJob> JobsAfter(const std::string& queue, int after) {
  cups_job_t* jobs = nullptr;
  int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ALL);
  std::vector<std::pair<int, QueuedJob>> found;
  for (int i = 0; i < count; ++i)
    if (jobs[i].id > after) found.push_back({jobs[i].id, {jobs[i].title, jobs[i].format}});
  cupsFreeJobs(count, jobs);
  std::sort(found.begin(), found.end(), [](auto& a, auto& b) { return a.first < b.first; });
  std::vector<QueuedJob> out;
  for (auto& f : found) out.push_back(f.second);
  return out;
}

int LastJobId(const std::string& queue) {
  cups_job_t* jobs = nullptr;
  int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ALL);
  int last = 0;
  for (int i = 0; i < count; ++i) last = std::max(last, jobs[i].id);
  cupsFreeJobs(count, jobs);
  return last;
}

// A pen text whose code page 932 form holds every byte `from`..`to` as the
// second byte of a kanji (0x89 row: all of them are characters).
std::string PenTextWithBytes(int from, int to) {
  std::string cp932;
  for (int b = from; b <= to; ++b) cp932 += {'\x89', static_cast<char>(b)};
  return FromCp932(cp932);
}

class CupsTest : public test::PrivateCupsTest {
 protected:
  void SetUp() override {
    PrivateCupsTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ::unsetenv("LPDEST");  // the default must come from the server
    ::unsetenv("PRINTER");
  }

  PlotSettings Settings() {
    PlotSettings s = PlotSettings::Defaults(start.path());
    s.OfiFile = ofi.path();
    s.OfiFMen = "自動";
    s.OfiFEnd = "保存";
    s.LineL = PenTextWithBytes(0x81, 0x9F);
    s.LineP = PenTextWithBytes(0xE0, 0xFC);
    return s;
  }
  // Thick pen, then the pattern pen: both pen texts go into the GLF.
  void AddDrawing(const std::string& name, int copies) {
    OfiBuilder b;
    b.Header(name).Copies(copies).LineClass(2).PatternBlock(true).PatternBlock(false).End();
    b.Save(ofi / name);
  }

  TempFolder start, ofi;
  CupsSpooler spooler;
};

TEST_F(CupsTest, PlotterReceivesExactlyTheGlfOfEachDrawing) {
  AddDrawing("A.OFI", 1);
  AddDrawing("B.OFI", 2);
  FakeHost host(Settings());

  // Kept GLFs first: the bytes the plotter must get.
  host.settings.OfiOut = "ﾌｧｲﾙ";
  ASSERT_TRUE(PlotJob(host, &spooler, start.path()).Run().Clean());
  std::vector<std::string> kept = {ofi.ReadFile("A.GLF"), ofi.ReadFile("B.GLF")};
  std::filesystem::remove(ofi / "A.GLF");
  std::filesystem::remove(ofi / "B.GLF");
  std::set<unsigned char> present(kept[0].begin(), kept[0].end());
  for (int b = 0x81; b <= 0xFC; b = b == 0x9F ? 0xE0 : b + 1)
    EXPECT_TRUE(present.count(static_cast<unsigned char>(b))) << "GLF lacks byte " << b;
  ASSERT_NE(kept[0], kept[1]);

  FakePlotter plotter(cups.port);
  ASSERT_TRUE(plotter.ok()) << "port " << cups.port << " is taken";
  int last_job = LastJobId(cups.queue);
  host.settings.OfiOut = "ﾌﾟﾛｯﾀ";
  host.printer.clear();
  JobSummary summary = PlotJob(host, &spooler, start.path()).Run();
  EXPECT_TRUE(summary.Clean());
  EXPECT_EQ(host.printer, cups.queue);  // the default printer filled in

  ASSERT_TRUE(plotter.WaitForJobs(2, kJobTimeout));
  EXPECT_EQ(plotter.Jobs(), kept);
  EXPECT_FALSE(ofi.Exists("A.GLF"));
  EXPECT_FALSE(ofi.Exists("B.GLF"));
  EXPECT_TRUE(ofi.Exists("A.OFI"));
  std::vector<QueuedJob> jobs = JobsAfter(cups.queue, last_job);
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0].title, "A.OFI");  // lpstat tells the drawings apart
  EXPECT_EQ(jobs[1].title, "B.OFI");
  for (const QueuedJob& job : jobs) EXPECT_EQ(job.format, "application/vnd.cups-raw");
}

TEST_F(CupsTest, LargeGlfArrivesWholeAndInOrder) {
  std::string bytes;
  for (int i = 0; i < 200000; ++i) bytes += static_cast<char>((i * 7 + i / 256) & 0xFF);
  ofi.WriteFile("BIG.GLF", bytes);
  FakePlotter plotter(cups.port);
  ASSERT_TRUE(plotter.ok());
  std::string error;
  ASSERT_TRUE(DeliverGlf(
      spooler, cups.queue, ofi / "BIG.GLF", "BIG.OFI", [](const SpoolerJob&) { return true; },
      error))
      << error;
  ASSERT_TRUE(plotter.WaitForJobs(1, kJobTimeout));
  EXPECT_TRUE(plotter.Jobs()[0] == bytes) << plotter.Jobs()[0].size() << " bytes arrived";
}

// The OFI stays; no GLF is left to pass for its plot.
TEST_F(CupsTest, UnknownPrinterKeepsTheOfiAndSaysWhich) {
  AddDrawing("A.OFI", 1);
  FakeHost host(Settings());
  host.settings.OfiOut = "ﾌﾟﾛｯﾀ";
  host.settings.OfiFEnd = "消去";
  host.printer = "NoSuchPlotter";
  int last_job = LastJobId(cups.queue);
  JobSummary summary = PlotJob(host, &spooler, start.path()).Run();
  EXPECT_TRUE(summary.failed);
  EXPECT_FALSE(ofi.Exists("A.GLF"));
  EXPECT_TRUE(ofi.Exists("A.OFI"));
  ASSERT_EQ(host.log.size(), 2u);
  EXPECT_TRUE(host.log[0].ends_with("　出図中止")) << host.log[0];
  EXPECT_NE(host.log[1].find("NoSuchPlotter"), std::string::npos) << host.log[1];
  EXPECT_TRUE(JobsAfter(cups.queue, last_job).empty());
}

TEST_F(CupsTest, DefaultAndInstalledPrinters) {
  EXPECT_EQ(spooler.DefaultPrinter(), cups.queue);
  std::vector<std::string> names = spooler.InstalledPrinters();
  auto queue = std::find(names.begin(), names.end(), cups.queue);
  auto spare = std::find(names.begin(), names.end(), cups.spare);
  ASSERT_NE(queue, names.end());
  ASSERT_NE(spare, names.end());
  EXPECT_LT(queue, spare);  // CUPS lists destinations by name
}

// Needs no cupsd: the server named does not exist.
TEST(CupsSpooler, NoServerMeansNoPrintersAndAnOpenFailure) {
  TempFolder dir;
  std::string server = dir / "none.sock";
  cupsSetServer(server.c_str());
  CupsSpooler spooler;
  const std::string expected = "cannot connect to CUPS at " + server;
  EXPECT_EQ(spooler.DefaultPrinter(), "");
  EXPECT_EQ(spooler.LastError(), expected);
  EXPECT_TRUE(spooler.InstalledPrinters().empty());
  EXPECT_EQ(spooler.LastError(), expected);
  std::string error;
  EXPECT_EQ(spooler.OpenPrinter("Plotter", error), nullptr);
  EXPECT_EQ(error, expected);
  EXPECT_EQ(spooler.OpenPrinter("", error), nullptr);
  EXPECT_FALSE(error.empty());
  PrintJobStatus status = spooler.QueryJob({3, {}, 0, "A.OFI", "Plotter"});
  EXPECT_EQ(status.state, PrintJobStatus::State::Unknown);
  EXPECT_EQ(status.reason, expected);
  cupsSetServer(nullptr);
}

}  // namespace
}  // namespace tovrin
