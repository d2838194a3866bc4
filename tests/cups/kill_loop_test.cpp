// A poller killed (SIGKILL) at random moments while it delivers through the
// private cupsd, and started again each time: no drawing is lost, and each
// reaches the plotter once. A killed program finds on its next start how far
// each delivery got (its "sending" row, the spooler's job by name and time,
// and whether that job has its document).
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>

#include "batch_process.h"
#include "drawing_files.h"
#include "fake_plotter.h"
#include "private_cups.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using namespace std::chrono_literals;
using test::Batch;
using test::TempFolder;
namespace fs = std::filesystem;

constexpr int kDrawings = 120;
constexpr int kKills = 20;

class KillLoopTest : public test::PrivateCupsTest {};

int OfisIn(const TempFolder& dir) {
  int n = 0;
  for (const auto& e : fs::directory_iterator(dir.path())) n += e.path().extension() == ".OFI";
  return n;
}

TEST_F(KillLoopTest, KilledAtRandomMomentsEveryDrawingIsPlottedOnce) {
  test::FakePlotter plotter(cups.port);
  ASSERT_TRUE(plotter.ok());
  TempFolder start, spool;
  // Each drawing has its own number of lines, so its plot's length names it.
  for (int i = 0; i < kDrawings; ++i)
    test::WriteBytes(spool / ("D" + std::to_string(1000 + i) + ".OFI"),
                     test::LinesDrawing("D", 5 + 3 * i));
  const std::vector<std::string> args = {"--set",    "OfiFile=" + spool.path(),
                                         "--set",    "Hprn=" + cups.queue,
                                         "--set",    "OfiOut=ﾌﾟﾛｯﾀ",
                                         "--set",    "OfiFEnd=消去",
                                         "--watch",  "0.5",
                                         "--settle", "0"};
  std::mt19937 random(20261209);
  std::uniform_int_distribution<int> moment_ms(50, 1500);
  for (int k = 0; k < kKills && OfisIn(spool) > 0; ++k) {
    Batch poller(start, args);
    std::this_thread::sleep_for(std::chrono::milliseconds(moment_ms(random)));
    poller.Stop(SIGKILL);
  }
  Batch last(start, args);
  ASSERT_TRUE(test::WaitFor([&] { return OfisIn(spool) == 0; }, 180s)) << last.Output();
  last.Stop();

  std::map<size_t, int> plots;  // plot length → times plotted
  ASSERT_TRUE(plotter.WaitForJobs(kDrawings, 30s));
  std::this_thread::sleep_for(2s);  // any late duplicate
  for (const std::string& job : plotter.Jobs()) ++plots[job.size()];
  EXPECT_EQ(plots.size(), static_cast<size_t>(kDrawings));
  int duplicates = 0;
  for (const auto& [size, times] : plots) duplicates += times - 1;
  std::cout << "kill loop: " << plotter.Jobs().size() << " plots of " << kDrawings << " drawings, "
            << duplicates << " duplicates\n";
  EXPECT_EQ(duplicates, 0);
}

}  // namespace
}  // namespace tovrin
