// The job and its history. The history is what keeps a drawing from being
// lost or plotted twice, so the job plots and deletes only while it
// answers: when it cannot be opened, read, written or committed, nothing
// more is plotted or deleted in that job, one error line says why (a poller
// says it again only when the reason changes), and the next job tries
// again.
#include "job/job_records.h"
#include "job/plot_job.h"

namespace tovrin {

using namespace job_detail;
namespace result = history_result;

namespace {

// The history commits at least this often during a job.
constexpr int kRowsPerCommit = 64;
constexpr double kSecondsPerCommit = 0.25;

}  // namespace

// Opens the start folder's history when the job has none (a first run
// creates it), and checks that it can be relied on now. A history found
// deleted or replaced is let go, so the next job opens what is there then.
bool PlotJob::HistoryReady() {
  std::string error;
  if (!history_) {
    own_history_ = JobHistory::Open(JoinPath(start_folder_, kHistoryFileName), error);
    history_ = own_history_.get();
  }
  if (history_) {
    history_->SetStopCheck([this] { return host_.AbortRequested(); });
    if (history_->Check()) {
      if (!history_fault_.empty()) host_.AddLog(texts::kHistoryBack);
      history_fault_.clear();
      return true;
    }
    error = history_->LastError();
    if (own_history_) {
      own_history_.reset();
      history_ = nullptr;
    }
  }
  ReportHistoryFault(error);
  return false;
}

void PlotJob::OnHistoryFault() { ReportHistoryFault(history_ ? history_->LastError() : ""); }

void PlotJob::ReportHistoryFault(const std::string& error) {
  if (!history_failed_ && (!options_.repeat || error != history_fault_))
    host_.AddError(Reason(texts::kHistoryFailed + error + ")"));
  history_fault_ = error.empty() ? "?" : error;
  history_failed_ = true;
  summary_.failed = true;
  batch_.clear();  // nothing that waits for the commit is done now
  folder_to_sync_.clear();
}

// Written once, when the drawing ends: rows are committed between
// drawings, so a "plotting" row would never be seen by anyone else.
bool PlotJob::Record(Drawing& d, const char* outcome, const std::string& reason) {
  d.row.result = outcome;
  d.row.reason = reason;
  d.row.ended_ms = NowMs();
  ++rows_held_;
  return SaveRow(d.row);
}

bool PlotJob::SaveRow(HistoryRow& row) {
  if (history_failed_) return false;
  const bool saved = row.id == 0 ? history_->Add(row) : history_->Update(row);
  if (!saved) OnHistoryFault();
  return saved;
}

bool PlotJob::CommitIfDue() {
  if (rows_held_ >= kRowsPerCommit || SteadySeconds() - held_since_ >= kSecondsPerCommit)
    return CommitHistory();
  return !history_failed_;
}

// The renamed GLFs reach the disk, then the rows that say so; only then do
// the finished drawings go (or get their marks). When the folder cannot be
// synced, the drawings of the batch count as not written; when the rows
// cannot be kept, nothing of the batch is done: the drawings stay, to be
// plotted again rather than lost without a trace.
bool PlotJob::CommitHistory() {
  rows_held_ = 0;
  held_since_ = SteadySeconds();
  if (history_failed_) return false;
  std::string error;
  if (!folder_to_sync_.empty() && !SyncPath(folder_to_sync_, error)) FailBatch(error);
  folder_to_sync_.clear();
  if (!history_->Commit()) {
    OnHistoryFault();
    return false;
  }
  FinishBatch();
  return true;
}

void PlotJob::FinishBatch() {
  std::vector<HistoryRow> batch;
  batch.swap(batch_);
  for (const HistoryRow& row : batch) {
    MarkDrawing(row);  // also on one about to go: a copy a killed run left aside is known
    if (delete_finished_) RemovePlottedOfi(row);
  }
}

// A folder sync that failed: the renames of the batch may not be on the
// disk, so its drawings are kept and recorded as failed (a poller plots
// them again).
void PlotJob::FailBatch(const std::string& error) {
  for (HistoryRow& row : batch_) {
    host_.AddLog(Reason(row.drawing.name + ": " + texts::kFolderNotSynced + error + ")"));
    row.result = result::kFailed;
    row.reason = texts::kFolderNotSynced + error + ")";
    --summary_.finished;
    ++summary_.stopped;
    if (!SaveRow(row)) return;
  }
  batch_.clear();
}

}  // namespace tovrin
