// Deliveries waiting for the spooler. A delivered drawing's OFI goes only
// once the spooler reports its job completed; one that ends otherwise keeps
// its OFI, and the job log says why.
#include "job/job_records.h"
#include "job/plot_job.h"

namespace tovrin {

using namespace job_detail;
namespace result = history_result;

namespace {

constexpr int kDeliveryPollMs = 500;

std::string JobText(const HistoryRow& row) {
  return row.drawing.name + ": " + row.printer + " #" + std::to_string(row.cups_job_id);
}

std::string StateText(const PrintJobStatus& status) {
  if (status.state_text.empty() && !status.reason.empty()) return status.reason;
  std::string text = status.state_text.empty() ? "?" : status.state_text;
  return status.reason.empty() ? text : text + ", " + status.reason;
}

// The job as the row knows it; CUPS's answer under its id is compared with
// it on every query.
SpoolerJob JobOf(const HistoryRow& row) {
  SpoolerJob job;
  job.id = row.cups_job_id;
  job.name = row.drawing.name;
  job.printer = row.printer;
  return job;
}

}  // namespace

void PlotJob::TrackDeliveries(const PlotSettings& s, const std::string& folder) {
  if (!spooler_) return;
  const double deadline = SteadySeconds() + options_.wait_delivered_seconds;
  std::vector<HistoryRow> waiting;
  std::vector<HistoryRow> rows;
  for (;;) {
    waiting.clear();
    if (!history_->Waiting(folder, rows)) {
      HistoryFailed();
      return;
    }
    for (HistoryRow& row : rows) {
      if (!CheckDelivery(s, row)) waiting.push_back(row);
      if (history_failed_) return;
    }
    // A poller looks again at its next poll; a one-shot job waits a while.
    if (waiting.empty() || options_.repeat || SteadySeconds() >= deadline || host_.AbortRequested())
      break;
    host_.Wait(kDeliveryPollMs);
  }
  for (const HistoryRow& row : waiting) ReportWaiting(row);
}

// True once the delivery has ended, one way or the other, or the history
// failed (history_failed_, logged): then nothing more happens.
bool PlotJob::CheckDelivery(const PlotSettings& s, HistoryRow& row) {
  const PrintJobStatus status = spooler_->QueryJob(JobOf(row));
  const std::string before = row.cups_state + row.reason;
  row.cups_state = status.state_text;
  row.reason = status.reason;
  switch (status.state) {
    case PrintJobStatus::State::Completed:
      row.result = result::kFinished;
      row.ended_ms = NowMs();
      if (!history_->Update(row)) return !HistoryFailed();
      if (s.OfiFEnd != setting_values::kKeep) RemovePlottedOfi(row);
      return true;
    case PrintJobStatus::State::Failed:
    case PrintJobStatus::State::Lost:
      row.result = status.state == PrintJobStatus::State::Lost ? kLostResult : result::kFailed;
      row.ended_ms = NowMs();
      if (!history_->Update(row)) return !HistoryFailed();
      host_.AddLog(row.header + texts::kStopped);
      host_.AddLog(Reason(texts::kDeliveryFailed + JobText(row) + " (" + StateText(status) + ")"));
      ++summary_.stopped;
      return true;
    case PrintJobStatus::State::Pending:
    case PrintJobStatus::State::Incoming:
    case PrintJobStatus::State::Stopped:
    case PrintJobStatus::State::Unknown: break;
  }
  if (row.cups_state + row.reason != before && !history_->Update(row)) return !HistoryFailed();
  return false;
}

// Only the very file that was plotted: a new drawing of the same name that
// arrived meanwhile stays.
void PlotJob::RemovePlottedOfi(const HistoryRow& row) {
  const std::string path = JoinPath(row.drawing.folder, row.drawing.name);
  std::string error;
  auto stamp = StampOf(path, error);
  if (!stamp || IdentityOf(row.drawing.folder, row.drawing.name, *stamp) != row.drawing) return;
  if (!RemoveFile(path, error))
    host_.AddLog(Reason(row.drawing.name + texts::kCannotDelete + error + ")"));
}

// A delivery the spooler has not finished: the drawing stays, and is never
// plotted again while it waits. A poller says so once per state.
void PlotJob::ReportWaiting(const HistoryRow& row) {
  const std::string said = row.cups_state + row.reason;
  auto [it, added] = waiting_reported_.try_emplace(row.id, said);
  if (options_.repeat && !added && it->second == said) return;
  it->second = said;
  host_.AddLog(Reason(texts::kDeliveryWaiting + JobText(row) + " (" +
                      (row.cups_state.empty() ? "?" : row.cups_state) +
                      (row.reason.empty() ? "" : ", " + row.reason) + ")"));
  if (!options_.repeat) ++summary_.stopped;
}

}  // namespace tovrin
