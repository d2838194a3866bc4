// Deliveries a killed program left half done: "sending" rows found when a
// job starts. Under the folder lock no other program is delivering this
// folder's drawings, so such a row is what a program ended between its
// steps left. The spooler says how far it got: a job that has its document
// is tracked as delivered; one that never got it (or none at all) is
// cancelled and its drawing plotted again. When the spooler cannot be
// asked, the row waits for the next job: the drawing is neither plotted
// again nor deleted.
#include "job/job_records.h"
#include "job/plot_job.h"

namespace tovrin {

using namespace job_detail;
namespace result = history_result;
using State = PrintJobStatus::State;

namespace {

// A job created a moment before the row's drawing started belongs to it
// still: the spooler's clock and ours may differ by that much.
constexpr int64_t kClockSlackSeconds = 5;

}  // namespace

void PlotJob::ResolveInterrupted(const std::string& folder) {
  if (!spooler_) return;
  std::vector<HistoryRow> rows;
  if (!history_->Waiting(folder, rows)) return OnHistoryFault();
  for (HistoryRow& row : rows) {
    if (row.result != result::kSending) continue;
    ResolveSending(row);
    if (HistoryDown()) return;
  }
}

void PlotJob::ResolveSending(HistoryRow& row) {
  SpoolerJob job = JobOf(row);
  std::string error;
  if (job.id == 0) {
    // Killed between creating the job and recording it: look for it.
    auto found = spooler_->FindJobs(row.printer, row.drawing.name,
                                    row.started_ms / 1000 - kClockSlackSeconds, error);
    if (!found) return;  // ask again at the next job
    if (found->empty()) return SendAgain(row);
    job = found->back();
  }
  const PrintJobStatus status = spooler_->QueryJob(job);
  switch (status.state) {
    case State::Unknown: return;
    case State::Incoming:
      // It never got its whole document: nothing of it prints.
      if (spooler_->CancelJob(job, error)) SendAgain(row);
      return;
    case State::Lost:
      SetJob(row, job);
      DeliveryEnded(row, status);
      return;
    case State::Pending:
    case State::Stopped:
    case State::Completed:
    case State::Failed:
      SetJob(row, job);
      row.result = result::kDelivering;  // tracked from here like any other
      SaveRow(row);
      return;
  }
}

// The drawing was never printed: it is plotted again by this job.
void PlotJob::SendAgain(HistoryRow& row) {
  host_.AddLog(Reason(texts::kResent + row.drawing.name));
  row.result = result::kAborted;
  row.reason = texts::kResent;
  if (SaveRow(row)) UnmarkDrawing(row);
}

}  // namespace tovrin
