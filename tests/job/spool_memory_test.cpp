// What keeps a drawing from being lost or plotted twice beyond one job:
// the history's "sending" rows of a killed run, the marks drawings carry,
// removal by identity, and the operator's release.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <set>

#include "fakes.h"
#include "history/job_history.h"
#include "job/operator_tools.h"
#include "job/plot_job.h"
#include "ofi_builder.h"
#include "platform/plot_mark.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using test::FakeHost;
using test::FakeSpooler;
using test::OfiBuilder;
using test::TempFolder;
using State = PrintJobStatus::State;
namespace fs = std::filesystem;

class SpoolMemoryTest : public ::testing::Test {
 protected:
  SpoolMemoryTest() : host(test::SearchSettings(start.path(), ofi.path(), "ﾌﾟﾛｯﾀ", "消去")) {
    host.printer = "Plotter1";
  }
  void AddDrawing(const std::string& name, const std::string& label) {
    OfiBuilder().Header(label).End().Save(ofi / name);
  }
  JobSummary Run(const TempFolder& start_folder, bool repeat = true) {
    JobOptions o;
    o.settle_seconds = 0;
    o.repeat = repeat;
    o.wait_delivered_seconds = 0;
    return PlotJob(host, &spooler, start_folder.path(), o).Run();
  }
  std::unique_ptr<JobHistory> History(const TempFolder& start_folder) {
    std::string error;
    auto h = JobHistory::Open(start_folder / kHistoryFileName, error);
    EXPECT_TRUE(h) << error;
    return h;
  }
  // The row a killed run leaves between its steps.
  void AddSendingRow(const std::string& name, int job_id) {
    auto h = History(start);
    std::string error;
    const FileStamp stamp = *StampOf(ofi / name, error);
    HistoryRow row;
    ASSERT_TRUE(h->NewJob(row.job));
    row.started_ms = (std::time(nullptr) - 1) * 1000;
    row.drawing = {ofi.path(), name, stamp.size, stamp.mtime_ns, stamp.inode};
    row.result = history_result::kSending;
    row.printer = "Plotter1";
    if (job_id != 0) {
      const SpoolerJob& job = spooler.jobs.at(static_cast<size_t>(job_id - 1));
      row.cups_job_id = job.id;
      row.cups_job_uuid = job.uuid;
      row.cups_job_created = job.created;
    }
    ASSERT_TRUE(h->Add(row));
  }

  TempFolder start, ofi;
  FakeHost host;
  FakeSpooler spooler;
};

// Killed between two steps of a delivery: the spooler says how far it got.
TEST_F(SpoolMemoryTest, AKilledRunsDeliveriesAreResolvedByAskingTheSpooler) {
  AddDrawing("DONE.OFI", "DONE");         // its job got its document: not sent again
  AddDrawing("UNRECORDED.OFI", "UNREC");  // its job exists, the row does not say so
  AddDrawing("NEVER.OFI", "NEVER");       // no job was created
  AddDrawing("HALF.OFI", "HALF");         // its job never got the whole document
  spooler.AddJob("Plotter1", "DONE.OFI");
  spooler.AddJob("Plotter1", "UNRECORDED.OFI");
  spooler.AddJob("Plotter1", "HALF.OFI");
  AddSendingRow("DONE.OFI", 1);
  AddSendingRow("UNRECORDED.OFI", 0);
  AddSendingRow("NEVER.OFI", 0);
  AddSendingRow("HALF.OFI", 3);
  spooler.job_state = [](int id) {
    return id == 3 ? PrintJobStatus{State::Incoming, "pending-held", "job-incoming"}
                   : PrintJobStatus{State::Completed, "completed", {}};
  };
  EXPECT_TRUE(Run(start).Clean()) << testing::PrintToString(host.log);
  std::set<std::string> sent;
  for (const auto& doc : spooler.documents) sent.insert(doc.job_name);
  EXPECT_EQ(sent, (std::set<std::string>{"NEVER.OFI", "HALF.OFI"}));
  EXPECT_EQ(spooler.documents.size(), 2u);
  EXPECT_TRUE(std::none_of(spooler.jobs.begin(), spooler.jobs.end(),
                           [](const SpoolerJob& j) { return j.id == 3; }));  // cancelled
  for (const char* name : {"DONE.OFI", "UNRECORDED.OFI", "NEVER.OFI", "HALF.OFI"})
    EXPECT_FALSE(ofi.Exists(name)) << name;  // all completed, so all gone
}

// Another start folder's program (or this one after its history was lost)
// delivered the drawing: its mark says so, and the delivery is taken over.
TEST_F(SpoolMemoryTest, ADeliveryAnotherHistoryMadeIsAdoptedNotPlottedAgain) {
  AddDrawing("A.OFI", "A");
  State state = State::Pending;
  spooler.job_state = [&](int) { return PrintJobStatus{state, "processing", {}}; };
  Run(start);
  ASSERT_EQ(spooler.documents.size(), 1u);
  TempFolder other_start;
  Run(other_start);
  EXPECT_EQ(spooler.documents.size(), 1u) << testing::PrintToString(host.log);
  EXPECT_TRUE(ofi.Exists("A.OFI"));
  state = State::Completed;
  Run(other_start);
  EXPECT_FALSE(ofi.Exists("A.OFI"));
  EXPECT_EQ(spooler.documents.size(), 1u);
  std::vector<HistoryRow> rows;
  ASSERT_TRUE(History(other_start)->Last(10, RowFilter::All, rows));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].result, "finished");
}

// The plotted drawing goes by identity: a new one renamed onto its name in
// the meantime stays, whatever the moment.
TEST_F(SpoolMemoryTest, ANewDrawingRenamedOntoThePlottedOnesNameIsNotDeleted) {
  host.settings.OfiOut = "ﾌｧｲﾙ";
  AddDrawing("A.OFI", "OLD");
  TempFolder staging;
  OfiBuilder().Header("NEW").Copies(3).End().Save(staging / "A.OFI");
  PlotJob job(host, &spooler, start.path(), {.settle_seconds = 0});
  job.SetGlfObserver([&](const std::string&, const std::string&) {
    fs::rename(staging / "A.OFI", ofi / "A.OFI");  // after the plot, before the delete
  });
  job.Run();
  ASSERT_TRUE(ofi.Exists("A.OFI"));
  EXPECT_NE(ofi.ReadFile("A.OFI").find("NEW"), std::string::npos);
  EXPECT_NE(host.log.back().find("置き換わった"), std::string::npos) << host.log.back();
}

// A run killed while it deleted a drawing left it under a hidden name: it
// is gone only if its mark says it was plotted; anything else may be
// someone's new drawing and comes back under a name of its own.
TEST_F(SpoolMemoryTest, AFileAKilledRunLeftAsideStaysUnlessItsMarkSaysPlotted) {
  host.settings.OfiOut = "ﾌｧｲﾙ";
  host.settings.OfiFEnd = "保存";
  OfiBuilder().Header("NEW").End().Save(ofi / ".tovrin-rm-Ab12Cd");
  OfiBuilder().Header("PLOTTED").End().Save(ofi / ".tovrin-rm-Xy34Zw");
  std::string error;
  const FileStamp stamp = *StampOf(ofi / ".tovrin-rm-Xy34Zw", error);
  PlotMark mark;
  mark.size = stamp.size;
  mark.mtime_ns = stamp.mtime_ns;
  mark.inode = stamp.inode;
  mark.state = "finished";
  ASSERT_EQ(WritePlotMarkAt(ofi.path(), ".tovrin-rm-Xy34Zw", mark, error), MarkAccess::Done);
  Run(start, false);
  Run(start, false);  // the restored drawing is listed by the next job
  EXPECT_FALSE(ofi.Exists(".tovrin-rm-Xy34Zw"));
  EXPECT_FALSE(ofi.Exists(".tovrin-rm-Ab12Cd"));
  EXPECT_TRUE(ofi.Exists("restored(1).OFI"));
  EXPECT_TRUE(ofi.Exists("restored(1).GLF"));  // a drawing like any other now
}

// Stopped after its plot was recorded, before it deleted the drawing: the
// drawing is deleted by the next job, not plotted again, whether the
// history or only the drawing's mark remembers it. A hard link outside the
// folder keeps the deleted file (and its mark) to put it back as a killed
// run leaves it.
TEST_F(SpoolMemoryTest, ADrawingLeftBetweenItsPlotAndItsDeleteIsDeletedNotPlottedAgain) {
  host.settings.OfiOut = "ﾌｧｲﾙ";
  AddDrawing("A.OFI", "A");
  fs::create_hard_link(ofi / "A.OFI", start / "A.kept");
  Run(start, false);
  ASSERT_FALSE(ofi.Exists("A.OFI"));
  PlotMark mark;
  std::string error;
  ASSERT_EQ(ReadPlotMarkAt(start.path(), "A.kept", mark, error), MarkAccess::Done) << error;
  EXPECT_TRUE(mark.then_delete);
  TempFolder fresh_start;  // a history that never saw it: the mark alone tells
  for (const TempFolder* history : {&start, &fresh_start}) {
    fs::remove(ofi / "A.GLF");
    fs::create_hard_link(start / "A.kept", ofi / "A.OFI");
    host.log.clear();
    EXPECT_TRUE(Run(*history, false).Clean()) << testing::PrintToString(host.log);
    EXPECT_FALSE(ofi.Exists("A.OFI"));
    EXPECT_FALSE(ofi.Exists("A.GLF")) << "plotted a second time";
    EXPECT_NE(testing::PrintToString(host.log).find("出図し直さずに消します"), std::string::npos);
  }
  // Plotted by a job that keeps its drawings: a job that deletes them plots
  // it as any other.
  host.settings.OfiFEnd = "保存";
  AddDrawing("B.OFI", "B");
  Run(start, false);
  host.settings.OfiFEnd = "消去";
  fs::remove(ofi / "B.GLF");
  Run(start, false);
  EXPECT_TRUE(ofi.Exists("B.GLF"));
  EXPECT_FALSE(ofi.Exists("B.OFI"));
}

// Lost, or held for ever: the operator makes it plottable again. A job the
// spooler still holds is cancelled first; one it completed is left.
TEST_F(SpoolMemoryTest, ReleaseMakesAKeptDrawingPlottableAgain) {
  AddDrawing("LOST.OFI", "LOST");
  AddDrawing("HELD.OFI", "HELD");
  AddDrawing("DONE.OFI", "DONE");
  spooler.job_state = [](int id) {  // jobs in name order: DONE 1, HELD 2, LOST 3
    return id == 1 ? PrintJobStatus{State::Completed, "completed", {}}
                   : PrintJobStatus{State::Stopped, "stopped", "paused"};
  };
  Run(start);
  std::erase_if(spooler.jobs, [](const SpoolerJob& j) { return j.name == "LOST.OFI"; });
  Run(start);  // LOST.OFI is lost now
  ASSERT_EQ(spooler.documents.size(), 3u);
  auto history = History(start);
  EXPECT_TRUE(ReleaseDrawing(*history, &spooler, ofi.path(), "LOST.OFI").ok);
  EXPECT_TRUE(ReleaseDrawing(*history, &spooler, ofi.path(), "HELD.OFI").ok);
  EXPECT_TRUE(std::none_of(spooler.jobs.begin(), spooler.jobs.end(),
                           [](const SpoolerJob& j) { return j.name == "HELD.OFI"; }));
  EXPECT_FALSE(ReleaseDrawing(*history, &spooler, ofi.path(), "DONE.OFI").ok);  // deleted
  const ToolLine free = ReleaseDrawing(*history, &spooler, ofi.path(), "NONE.OFI");
  EXPECT_FALSE(free.ok);        // no such file
  spooler.job_state = nullptr;  // completes whatever is sent now
  EXPECT_TRUE(Run(start).Clean()) << testing::PrintToString(host.log);
  EXPECT_EQ(spooler.documents.size(), 5u);
  EXPECT_FALSE(ofi.Exists("LOST.OFI"));
  EXPECT_FALSE(ofi.Exists("HELD.OFI"));
}

}  // namespace
}  // namespace tovrin

namespace tovrin {
namespace {

// What the job shows of itself: the folder and its listing, what the
// drawings came to, and those it left and why.
TEST_F(SpoolMemoryTest, TheStatusBoardShowsResultsAndWhatWaitsWhy) {
  AddDrawing("A.OFI", "A");
  OfiBuilder().Header("CUT").Save(ofi / "CUT.OFI");  // no end marker
  spooler.job_state = [](int) { return PrintJobStatus{State::Stopped, "stopped", "paused"}; };
  StatusBoard board;
  JobOptions o;
  o.settle_seconds = 0;
  o.repeat = true;
  o.status = &board;
  PlotJob poller(host, &spooler, start.path(), o);
  poller.Run();
  PollerState s = board.Snapshot();
  EXPECT_EQ(s.ofi_folder, ofi.path());
  EXPECT_GT(s.last_listing, 0);
  EXPECT_EQ(s.results["delivered"], 1u);
  EXPECT_EQ(s.results["incomplete"], 1u);
  EXPECT_EQ(s.deliveries_waiting, 1u);
  EXPECT_EQ(s.queued_latency.count, 1u);
  EXPECT_GT(s.bytes_translated, 0u);
  poller.Run();  // both are left now: one with CUPS, held; one cut short
  s = board.Snapshot();
  ASSERT_EQ(s.waiting.size(), 2u);
  EXPECT_EQ(s.waiting[0].name, "A.OFI");
  EXPECT_EQ(s.waiting[0].why, WaitingDrawing::Why::Held);
  EXPECT_EQ(s.waiting[1].name, "CUT.OFI");
  EXPECT_EQ(s.waiting[1].why, WaitingDrawing::Why::Incomplete);
  EXPECT_EQ(s.history_fault, "");
}

}  // namespace
}  // namespace tovrin
