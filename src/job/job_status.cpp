// What the job shows on its status board (the status page, the service
// manager's status line): the folder, when it was listed, the drawings
// waiting and why, and what the drawings came to.
#include "job/job_records.h"
#include "job/plot_job.h"

namespace tovrin {

using namespace job_detail;
namespace result = history_result;
using Why = WaitingDrawing::Why;

namespace {

// A CUPS job that waits for someone (a stopped queue, a job held).
bool HeldState(const std::string& state) {
  return state == "stopped" || state == "pending-held" || state == "processing-stopped";
}

std::string Detail(const HistoryRow& row) {
  if (row.cups_state.empty()) return row.reason;
  return row.reason.empty() ? row.cups_state : row.cups_state + ", " + row.reason;
}

}  // namespace

void PlotJob::Show(const std::function<void(PollerState&)>& change) {
  if (options_.status) options_.status->Update(change);
}

// A drawing left in the folder by this job's listing, from the row that
// decided it.
void PlotJob::NoteWaiting(const Candidate& c, const HistoryRow& row) {
  const std::string& r = row.result;
  Why why;
  if (r == result::kDelivering || r == result::kSending) {
    why = held_rows_.count(row.id) || HeldState(row.cups_state) ? Why::Held : Why::WithSpooler;
  } else if (r == result::kLost) {
    why = Why::Lost;
  } else if (r == result::kIncomplete) {
    why = Why::Incomplete;
  } else if (r == result::kRejected || r == result::kFailed) {
    why = Why::Failed;
  } else {
    return;  // plotted and kept: not waiting
  }
  waiting_now_.push_back({c.name, why, Detail(row)});
}

void PlotJob::NoteSettling(const Candidate& c) {
  waiting_now_.push_back({c.name, Why::Settling, {}});
}

// A drawing's end as this job saw it: counted by result.
void PlotJob::ShowEnded(const HistoryRow& row, const std::string& outcome) {
  Show([&](PollerState& s) {
    ++s.results[outcome];
    s.last_drawing = row.drawing.name;
    s.last_result = outcome;
  });
}

// From the writer's last change to the plot queued (the GLF under its name,
// or CUPS holding the document), and the drawing's bytes.
void PlotJob::ShowQueued(const Drawing& d) {
  const double written = static_cast<double>(d.row.drawing.mtime_ns) / 1e9;
  const double latency = std::max(0.0, WallSeconds() - written);
  Show([&](PollerState& s) {
    s.queued_latency.Observe(latency);
    s.bytes_translated += d.row.drawing.size;
  });
}

void PlotJob::ShowListed(const std::string& folder) {
  Show([&](PollerState& s) {
    s.start_folder = start_folder_;
    s.ofi_folder = folder;
    s.printer = host_.OutputPrinter();
    s.last_listing = WallSeconds();
  });
}

void PlotJob::ShowWaiting(size_t deliveries_waiting) {
  std::vector<WaitingDrawing> waiting;
  waiting.swap(waiting_now_);
  Show([&](PollerState& s) {
    s.waiting = std::move(waiting);
    s.deliveries_waiting = deliveries_waiting;
    s.history_fault = history_failed_ ? history_fault_ : std::string();
  });
}

}  // namespace tovrin
