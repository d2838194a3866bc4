// Whole jobs against the private cupsd: a drawing's OFI goes only once the
// plotter has its plot, and pollers deliver each drawing once.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "batch_process.h"
#include "fake_plotter.h"
#include "fakes.h"
#include "history/job_history.h"
#include "job/plot_job.h"
#include "ofi_builder.h"
#include "platform/cups/cups_spooler.h"
#include "private_cups.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using namespace std::chrono_literals;
using test::Batch;
using test::FakeHost;
using test::FakePlotter;
using test::OfiBuilder;
using test::QueuePolicy;
using test::TempFolder;
using test::WaitFor;

class DeliveryTest : public test::PrivateCupsTest {
 protected:
  PlotSettings Settings() {
    PlotSettings s = PlotSettings::Defaults(start.path());
    s.OfiFile = ofi.path();
    s.OfiFMen = "自動";
    s.OfiOut = "ﾌﾟﾛｯﾀ";
    s.OfiFEnd = "消去";
    s.Hprn = cups.queue;
    return s;
  }
  JobSummary Run(FakeHost& host, double wait_delivered) {
    JobOptions o;
    o.settle_seconds = 0;
    o.wait_delivered_seconds = wait_delivered;
    return PlotJob(host, &spooler, start.path(), o).Run();
  }
  HistoryRow LastRow() {
    std::string error;
    auto history = JobHistory::OpenForReading(start / kHistoryFileName, error);
    EXPECT_TRUE(history) << error;
    std::vector<HistoryRow> rows;
    if (history) {
      EXPECT_TRUE(history->Last(1, RowFilter::All, rows)) << history->LastError();
    }
    return rows.empty() ? HistoryRow{} : rows.back();
  }

  TempFolder start, ofi;
  CupsSpooler spooler;
};

TEST_F(DeliveryTest, APlotterThatAcceptsGetsThePlotThenTheOfiGoes) {
  FakePlotter plotter(cups.port);
  ASSERT_TRUE(plotter.ok());
  OfiBuilder().Header("OK").Copies(2).End().Save(ofi / "A.OFI");
  FakeHost host(Settings());
  host.printer = cups.queue;
  EXPECT_TRUE(Run(host, 60).Clean()) << testing::PrintToString(host.log);
  EXPECT_FALSE(ofi.Exists("A.OFI"));
  ASSERT_TRUE(plotter.WaitForJobs(1, 10s));
  EXPECT_EQ(plotter.Jobs().at(0), "\x1b%-1BBPINPUSP0PGRP1;\033E");
  HistoryRow row = LastRow();
  EXPECT_EQ(row.result, "finished");
  EXPECT_EQ(row.cups_state, "completed");
  EXPECT_GT(row.cups_job_id, 0);
}

TEST_F(DeliveryTest, APlotterThatIsOffKeepsTheOfiAndSaysWhy) {
  // Nothing listens on the plotter's port; the queue gives the job up.
  OfiBuilder().Header("OFF").End().Save(ofi / "A.OFI");
  FakeHost host(Settings());
  host.printer = cups.queue;
  JobSummary s = Run(host, 30);
  EXPECT_FALSE(s.Clean());
  EXPECT_TRUE(ofi.Exists("A.OFI"));
  ASSERT_GE(host.log.size(), 3u) << testing::PrintToString(host.log);
  EXPECT_NE(host.log.back().find(cups.queue), std::string::npos) << host.log.back();
  EXPECT_EQ(LastRow().result, "failed");
}

TEST_F(DeliveryTest, AStoppedQueueKeepsTheOfiAndTheDrawingIsNotPlottedAgain) {
  QueuePolicy policy(cups.queue, "stop-printer");
  ASSERT_TRUE(policy.ok());
  OfiBuilder().Header("STOPPED").End().Save(ofi / "A.OFI");
  FakeHost host(Settings());
  host.printer = cups.queue;
  JobSummary s = Run(host, 5);
  EXPECT_FALSE(s.Clean());  // the wait ended with the job still not printed
  EXPECT_TRUE(ofi.Exists("A.OFI"));
  EXPECT_NE(host.log.back().find("プリンタのジョブが完了していません"), std::string::npos)
      << host.log.back();
  // What the administrator runs beside it.
  EXPECT_NE(host.log.back().find("cupsenable " + cups.queue), std::string::npos) << host.log.back();
  HistoryRow row = LastRow();
  EXPECT_EQ(row.result, "delivering");
  EXPECT_FALSE(row.reason.empty());  // the stopped printer's message
  // The next job leaves it with the spooler.
  host.log.clear();
  Run(host, 0);
  EXPECT_EQ(host.log.front(), "図面が無いか、サイズが0です");
  EXPECT_TRUE(ofi.Exists("A.OFI"));
}

// CUPS lost its job state (reinstalled, its cache lost in a power cut) and
// gave our job's id to another user's job, which completed: our drawing is
// kept, not deleted for it, and not plotted again by itself.
TEST_F(DeliveryTest, AJobIdCupsGaveAgainDoesNotDeleteThePendingDrawing) {
  if (cups.forget.empty()) GTEST_SKIP() << "the private cupsd cannot be restarted";
  QueuePolicy policy(cups.queue, "abort-job");  // enables the queue again afterwards
  ASSERT_TRUE(test::RunCupsTool("cupsdisable " + cups.queue));
  ASSERT_TRUE(test::RunCupsTool(cups.forget));
  OfiBuilder().Header("PENDING").End().Save(ofi / "A.OFI");
  FakeHost host(Settings());
  host.printer = cups.queue;
  Run(host, 0);  // sent; it waits on the disabled queue
  ASSERT_EQ(LastRow().cups_job_id, 1);
  ASSERT_TRUE(test::RunCupsTool(cups.forget));
  FakePlotter plotter(cups.port);
  ASSERT_TRUE(plotter.ok());
  start.WriteFile("lp.txt", "another user's job");
  ASSERT_TRUE(test::RunCupsTool("lp -d " + cups.queue + " '" + (start / "lp.txt") + "'"));
  ASSERT_TRUE(test::RunCupsTool("cupsenable " + cups.queue));
  ASSERT_TRUE(plotter.WaitForJobs(1, 10s));
  std::this_thread::sleep_for(1s);  // CUPS marks it completed
  host.log.clear();
  EXPECT_FALSE(Run(host, 0).Clean());
  EXPECT_TRUE(ofi.Exists("A.OFI"));
  EXPECT_EQ(LastRow().result, "lost");
  EXPECT_NE(testing::PrintToString(host.log).find("CUPS job 1 is another job now"),
            std::string::npos)
      << testing::PrintToString(host.log);
  host.log.clear();
  Run(host, 0);  // not plotted again by itself
  EXPECT_EQ(plotter.Jobs().size(), 1u);
  EXPECT_TRUE(ofi.Exists("A.OFI"));
}

TEST_F(DeliveryTest, TwoPollersDeliverEachDrawingOnce) {
  FakePlotter plotter(cups.port);
  ASSERT_TRUE(plotter.ok());
  TempFolder staging;
  for (int i = 0; i < 12; ++i)
    OfiBuilder()
        .Header("D" + std::to_string(i))
        .End()
        .Save(staging / ("D" + std::to_string(10 + i) + ".OFI"));
  const std::vector<std::string> args = {"--set",    "OfiFile=" + ofi.path(),
                                         "--set",    "Hprn=" + cups.queue,
                                         "--set",    "OfiFEnd=消去",
                                         "--watch",  "0.5",
                                         "--settle", "1"};
  Batch first(start, args), second(start, args);
  for (const auto& e : std::filesystem::directory_iterator(staging.path()))
    std::filesystem::rename(e.path(), ofi / e.path().filename().string());
  ASSERT_TRUE(WaitFor([&] { return std::filesystem::is_empty(ofi.path()); }, 60s))
      << first.Output() << second.Output();
  ASSERT_TRUE(plotter.WaitForJobs(12, 30s));
  std::this_thread::sleep_for(1500ms);  // more polls of both
  EXPECT_EQ(first.Stop(), 0);
  EXPECT_EQ(second.Stop(), 0);
  EXPECT_EQ(plotter.Jobs().size(), 12u);
  EXPECT_EQ(first.Count("　出図終了") + second.Count("　出図終了"), 12)
      << first.Output() << second.Output();
  // Someone reading only the output sees each file reach the plotter: its
  // final line names it, and one more line says CUPS completed its job.
  for (int i = 0; i < 12; ++i) {
    const std::string name = "D" + std::to_string(10 + i) + ".OFI";
    EXPECT_EQ(first.Count("　出図終了  " + name) + second.Count("　出図終了  " + name), 1) << name;
    EXPECT_EQ(first.Count("プリンタのジョブが完了しました: " + name) +
                  second.Count("プリンタのジョブが完了しました: " + name),
              1)
        << name;
  }
}

}  // namespace
}  // namespace tovrin
