// A delivered drawing's OFI goes only once the spooler reports its job
// completed; the job history remembers deliveries still waiting.
#include <gtest/gtest.h>

#include "failing_history.h"
#include "fakes.h"
#include "history/job_history.h"
#include "job/plot_job.h"
#include "ofi_builder.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using test::FakeHost;
using test::FakeSpooler;
using test::OfiBuilder;
using test::TempFolder;
using State = PrintJobStatus::State;

class DeliveryTrackingTest : public ::testing::Test {
 protected:
  DeliveryTrackingTest() : host(Settings()) {}

  PlotSettings Settings() {
    return test::SearchSettings(start.path(), ofi.path(), "ﾌﾟﾛｯﾀ", "消去");
  }
  void AddDrawing(const std::string& name, const std::string& label) {
    OfiBuilder().Header(label).End().Save(ofi / name);
  }
  JobOptions Options(bool repeat, double wait = 120) {
    JobOptions o;
    o.settle_seconds = 0;
    o.repeat = repeat;
    o.wait_delivered_seconds = wait;
    return o;
  }
  JobSummary Run(bool repeat = false, double wait = 120) {
    return PlotJob(host, &spooler, start.path(), Options(repeat, wait)).Run();
  }
  std::vector<HistoryRow> History() {
    std::string error;
    auto history = JobHistory::OpenForReading(start / kHistoryFileName, error);
    EXPECT_TRUE(history) << error;
    std::vector<HistoryRow> rows;
    if (history) {
      EXPECT_TRUE(history->Last(100, RowFilter::All, rows)) << history->LastError();
    }
    return rows;
  }
  static std::string Label(const std::string& label, const char* suffix) {
    std::string header = label;
    header.resize(16, ' ');
    return header + ",    " + suffix;
  }

  TempFolder start, ofi;
  FakeHost host;
  FakeSpooler spooler;
};

TEST_F(DeliveryTrackingTest, TheOfiGoesOnlyOnceTheJobIsCompleted) {
  AddDrawing("A.OFI", "A");
  State state = State::Pending;
  spooler.job_state = [&](int) { return PrintJobStatus{state, "processing", {}}; };
  bool ofi_kept_while_pending = false;
  host.on_wait = [&](FakeHost&) {
    ofi_kept_while_pending = ofi.Exists("A.OFI");
    state = State::Completed;
  };
  JobSummary s = Run();
  EXPECT_TRUE(s.Clean());
  EXPECT_TRUE(ofi_kept_while_pending);
  EXPECT_FALSE(ofi.Exists("A.OFI"));
  EXPECT_FALSE(ofi.Exists("A.GLF"));  // the spooler has the bytes
  EXPECT_EQ(spooler.documents.at(0).job_name, "A.OFI");
  EXPECT_EQ(spooler.documents.at(0).title, "Test");
  EXPECT_EQ(host.log, std::vector<std::string>{Label("A", "　出図終了")});
  auto rows = History();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].result, "finished");
  EXPECT_EQ(rows[0].cups_job_id, 1);
  EXPECT_EQ(rows[0].printer, "Plotter1");
}

TEST_F(DeliveryTrackingTest, AJobTheSpoolerGaveUpKeepsTheOfiAndSaysWhy) {
  AddDrawing("A.OFI", "A");
  AddDrawing("B.OFI", "B");
  spooler.job_state = [](int id) {
    return id == 1 ? PrintJobStatus{State::Failed, "aborted", "job-aborted-by-system"}
                   : PrintJobStatus{State::Completed, "completed", {}};
  };
  JobSummary s = Run();
  EXPECT_FALSE(s.Clean());
  EXPECT_EQ(s.finished, 2);  // both went to the spooler; the next drawing was not held up
  EXPECT_TRUE(ofi.Exists("A.OFI"));
  EXPECT_FALSE(ofi.Exists("B.OFI"));
  ASSERT_EQ(host.log.size(), 4u);
  EXPECT_EQ(host.log[2], Label("A", "　出図中止"));
  EXPECT_NE(host.log[3].find("job-aborted-by-system"), std::string::npos) << host.log[3];
  EXPECT_NE(host.log[3].find("Plotter1 #1"), std::string::npos) << host.log[3];
  auto rows = History();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].result, "failed");
  EXPECT_EQ(rows[0].cups_state, "aborted");
}

TEST_F(DeliveryTrackingTest, AWaitingDeliveryIsNeverPlottedAgainAndFinishesLater) {
  AddDrawing("A.OFI", "A");
  State state = State::Stopped;
  spooler.job_state = [&](int) { return PrintJobStatus{state, "stopped", "connection refused"}; };
  JobSummary first = Run(false, 0);
  EXPECT_FALSE(first.Clean());  // a one-shot job says so once its wait is over
  EXPECT_TRUE(ofi.Exists("A.OFI"));
  ASSERT_EQ(host.log.size(), 2u);
  EXPECT_NE(host.log[1].find("connection refused"), std::string::npos) << host.log[1];

  // A poller passes over it, and says it waits only once.
  host.log.clear();
  PlotJob poller(host, &spooler, start.path(), Options(true));
  poller.Run();
  poller.Run();
  EXPECT_EQ(spooler.documents.size(), 1u);
  EXPECT_EQ(host.log.size(), 2u);  // "no drawings" once, the waiting delivery once
  EXPECT_EQ(History().back().cups_state, "stopped");

  state = State::Completed;
  EXPECT_TRUE(poller.Run().Clean());
  EXPECT_FALSE(ofi.Exists("A.OFI"));
  EXPECT_EQ(spooler.documents.size(), 1u);
  EXPECT_EQ(History().back().result, "finished");
}

TEST_F(DeliveryTrackingTest, ANewDrawingOfTheSameNameIsNotDeletedForTheOldOne) {
  AddDrawing("A.OFI", "OLD");
  State state = State::Pending;
  spooler.job_state = [&](int) { return PrintJobStatus{state, "pending", {}}; };
  PlotJob poller(host, &spooler, start.path(), Options(true));
  poller.Run();
  EXPECT_TRUE(ofi.Exists("A.OFI"));
  OfiBuilder().Header("NEW").Copies(2).End().Save(ofi / "A.OFI");  // another drawing arrives
  state = State::Completed;
  spooler.job_state = [&](int id) {
    return PrintJobStatus{id == 1 ? State::Completed : State::Pending, "", {}};
  };
  poller.Run();
  // The old job completed, but the file is no longer the drawing it plotted;
  // the new drawing was plotted and waits for its own job.
  EXPECT_TRUE(ofi.Exists("A.OFI"));
  EXPECT_EQ(spooler.documents.size(), 2u);
}

// The spooler lost its state and gave A's job id to B: B's completion is no
// news of A, whose drawing stays and is not plotted again.
TEST_F(DeliveryTrackingTest, AJobIdTheSpoolerGaveAgainKeepsTheDrawing) {
  AddDrawing("A.OFI", "A");
  State state = State::Pending;
  spooler.job_state = [&](int) { return PrintJobStatus{state, "pending", {}}; };
  PlotJob poller(host, &spooler, start.path(), Options(true));
  poller.Run();
  spooler.LoseState();
  AddDrawing("B.OFI", "B");
  state = State::Completed;
  host.log.clear();
  EXPECT_FALSE(poller.Run().Clean());
  EXPECT_TRUE(ofi.Exists("A.OFI"));
  EXPECT_FALSE(ofi.Exists("B.OFI"));
  ASSERT_EQ(host.log.size(), 3u) << ::testing::PrintToString(host.log);
  // The job looks at its deliveries before its first drawing.
  EXPECT_EQ(host.log[0], Label("A", "　出図中止"));
  EXPECT_NE(host.log[1].find("Plotter1 #1 (fake spooler: job 1 lost)"), std::string::npos)
      << host.log[1];
  EXPECT_EQ(host.log[2], Label("B", "　出図終了"));
  auto rows = History();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].result, "lost");
  EXPECT_EQ(rows[1].result, "finished");
  poller.Run();
  EXPECT_EQ(spooler.documents.size(), 2u);
}

}  // namespace
}  // namespace tovrin

namespace tovrin {
namespace {

// A delivery is in the history, for every other program to see, before its
// document goes and before the job goes on to the next drawing.
TEST_F(DeliveryTrackingTest, ADeliveryIsCommittedBeforeTheNextDrawing) {
  AddDrawing("A.OFI", "A");
  AddDrawing("B.OFI", "B");
  std::vector<HistoryRow> seen_during_b, seen_while_sent;
  host.on_events = [&](FakeHost& h) {
    if (seen_during_b.empty() && h.log.size() == 2) seen_during_b = History();
  };
  spooler.on_write = [&](const FakeSpooler::Document& doc) {
    if (doc.job_name == "A.OFI") seen_while_sent = History();
  };
  Run();
  // The job is on record before its document goes: still "sending" until
  // the spooler has the whole document.
  ASSERT_EQ(seen_while_sent.size(), 1u);
  EXPECT_EQ(seen_while_sent[0].result, "sending");
  EXPECT_EQ(seen_while_sent[0].cups_job_id, 1);
  ASSERT_FALSE(seen_during_b.empty());
  EXPECT_EQ(seen_during_b[0].drawing.name, "A.OFI");
  EXPECT_EQ(seen_during_b[0].result, "delivering");
  EXPECT_EQ(seen_during_b[0].cups_job_id, 1);
}

// Finished drawings go only once the history that says so is kept: when it
// cannot be, they stay to be plotted again rather than vanish untraced.
TEST_F(DeliveryTrackingTest, FinishedDrawingsStayWhenTheHistoryCannotKeepThem) {
  host.settings.OfiOut = "ﾌｧｲﾙ";
  AddDrawing("A.OFI", "A");
  AddDrawing("B.OFI", "B");
  test::FailingHistory history;  // takes the rows but cannot keep them
  history.FailFrom(test::FailingHistory::Call::Commit);
  JobOptions options = Options(false);
  options.history = &history;
  JobSummary s = PlotJob(host, &spooler, start.path(), options).Run();
  EXPECT_EQ(s.finished, 2);
  EXPECT_TRUE(ofi.Exists("A.GLF"));
  EXPECT_TRUE(ofi.Exists("A.OFI"));
  EXPECT_TRUE(ofi.Exists("B.OFI"));
  ASSERT_FALSE(host.log.empty());
  EXPECT_NE(host.log.back().find("disk I/O error"), std::string::npos) << host.log.back();

  // With a history that keeps them, they go at the end of the job.
  host.log.clear();
  s = Run();
  EXPECT_EQ(s.finished, 2);
  EXPECT_FALSE(ofi.Exists("A.OFI"));
  EXPECT_FALSE(ofi.Exists("B.OFI"));
}

}  // namespace
}  // namespace tovrin
