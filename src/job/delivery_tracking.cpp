// Deliveries waiting for the spooler. A delivered drawing's OFI goes only
// once the spooler reports its very job completed; one that ends otherwise
// keeps its OFI, and the job log says why. A job the spooler no longer
// knows (or knows as another job under the same id) is lost: its drawing is
// kept and not plotted again by itself.
#include "job/job_records.h"
#include "job/plot_job.h"
#include "platform/spool_files.h"

namespace tovrin {

using namespace job_detail;
namespace result = history_result;
using State = PrintJobStatus::State;

namespace {

constexpr int kDeliveryPollMs = 500;

std::string JobText(const HistoryRow& row) {
  return row.drawing.name + ": " + row.printer + " #" + std::to_string(row.cups_job_id);
}

std::string StateText(const PrintJobStatus& status) {
  if (status.state_text.empty()) return status.reason.empty() ? "?" : status.reason;
  return status.reason.empty() ? status.state_text : status.state_text + ", " + status.reason;
}

// A job that waits for someone (a stopped queue, a job held): what the
// administrator runs beside it.
std::string WhatToRun(const HistoryRow& row) {
  const std::string job = std::to_string(row.cups_job_id);
  return " — lpstat -p " + row.printer + " / cupsenable " + row.printer + " / cancel " + job;
}

}  // namespace

void PlotJob::TrackDeliveries(const PlotSettings& s, const std::string& folder) {
  if (!spooler_) return;
  // A job that gave up waiting for the spooler mid-way does not wait again.
  const double deadline = SteadySeconds() + (spooler_behind_ ? 0 : options_.wait_delivered_seconds);
  std::vector<HistoryRow> waiting;
  for (;;) {
    if (!SettleDeliveries(s, folder, waiting)) return;
    // A poller looks again at its next poll; a one-shot job waits a while.
    if (waiting.empty() || options_.repeat || SteadySeconds() >= deadline || host_.AbortRequested())
      break;
    host_.Wait(kDeliveryPollMs);
  }
  for (const HistoryRow& row : waiting) ReportWaiting(row);
  deliveries_waiting_ = waiting.size();
}

// One look at every delivery still waiting, all asked of the spooler at
// once: the ended ones are settled, the rest go to `waiting`. A completed
// one's row is committed right before its OFI goes, one at a time, so a
// program killed in between leaves at most that one drawing behind. False
// when the history failed.
bool PlotJob::SettleDeliveries(const PlotSettings& s, const std::string& folder,
                               std::vector<HistoryRow>& waiting) {
  waiting.clear();
  std::vector<HistoryRow> rows;
  if (!history_->Waiting(folder, rows)) {
    OnHistoryFault();
    return false;
  }
  std::erase_if(rows, [](const HistoryRow& row) { return row.result != result::kDelivering; });
  std::vector<SpoolerJob> jobs;
  for (const HistoryRow& row : rows) jobs.push_back(JobOf(row));
  const std::vector<PrintJobStatus> states = spooler_->QueryJobs(jobs);
  for (size_t i = 0; i < rows.size(); ++i) {
    const PrintJobStatus status = i < states.size() ? states[i] : PrintJobStatus{};
    const Delivery delivery = CheckDelivery(rows[i], status);
    if (HistoryDown()) return false;
    if (delivery == Delivery::Waiting) waiting.push_back(rows[i]);
    if (delivery != Delivery::Completed) continue;
    if (!CommitHistory()) return false;
    if (s.OfiFEnd != setting_values::kKeep) RemovePlottedOfi(rows[i]);
  }
  outstanding_ = waiting.size();
  sent_since_look_ = 0;
  return true;
}

PlotJob::Delivery PlotJob::CheckDelivery(HistoryRow& row, const PrintJobStatus& status) {
  const std::string before = row.cups_state + row.reason;
  row.cups_state = status.state_text;
  row.reason = status.reason;
  if (status.state == State::Stopped) {
    held_rows_.insert(row.id);
  } else {
    held_rows_.erase(row.id);
  }
  switch (status.state) {
    case State::Completed:
      row.result = result::kFinished;
      row.ended_ms = NowMs();
      if (!SaveRow(row)) return Delivery::Ended;
      ShowEnded(row, result::kFinished);
      host_.DeliveryEnded({}, {row.drawing.name, "completed", row.printer, row.cups_job_id,
                               texts::kDeliveryCompleted + JobText(row)});
      MarkDrawing(row);
      return Delivery::Completed;
    case State::Failed:
    case State::Lost: DeliveryEnded(row, status); return Delivery::Ended;
    case State::Pending:
    case State::Incoming:
    case State::Stopped:
    case State::Unknown: break;
  }
  if (row.cups_state + row.reason != before) SaveRow(row);
  return Delivery::Waiting;
}

// A job that will not print, or that the spooler no longer knows: the
// drawing stays, and the log says which job and why.
void PlotJob::DeliveryEnded(HistoryRow& row, const PrintJobStatus& status) {
  const bool lost = status.state == State::Lost;
  row.result = lost ? result::kLost : result::kFailed;
  row.ended_ms = NowMs();
  if (!SaveRow(row)) return;
  ShowEnded(row, row.result);
  MarkDrawing(row);
  const std::string why = (lost ? texts::kDeliveryLost : texts::kDeliveryFailed) + JobText(row) +
                          " (" + StateText(status) + ")";
  host_.DeliveryEnded({row.header + texts::kStopped, Reason(why)},
                      {row.drawing.name, row.result, row.printer, row.cups_job_id, why});
  ++summary_.stopped;
}

// Only the very file that was plotted: a new drawing of the same name that
// arrived meanwhile stays, whenever it arrived.
void PlotJob::RemovePlottedOfi(const HistoryRow& row) {
  const RemoveResult removed = RemoveIfSame(row.drawing.folder, row.drawing.name, StampOf(row));
  switch (removed.outcome) {
    case RemoveOutcome::Removed:
    case RemoveOutcome::Missing: return;
    case RemoveOutcome::Changed:
      host_.AddLog(Reason(row.drawing.name + texts::kReplacedMeanwhile));
      return;
    case RemoveOutcome::Stranded:
      host_.AddLog(Reason(row.drawing.name + texts::kCannotPutBack + removed.kept_as));
      return;
    case RemoveOutcome::Failed:
      host_.AddLog(Reason(row.drawing.name + texts::kCannotDelete + removed.error + ")"));
      return;
  }
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
                      (row.reason.empty() ? "" : ", " + row.reason) + ")" +
                      (held_rows_.count(row.id) ? WhatToRun(row) : "")));
  if (!options_.repeat) ++summary_.stopped;
}

}  // namespace tovrin
