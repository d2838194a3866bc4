// Deliveries followed while the job goes. CUPS keeps only its last MaxJobs
// jobs (500 by default), ended ones included, and forgets the oldest ended
// ones first: a job that sent a thousand drawings and looked only at the
// end would find most of its jobs forgotten, and keep their drawings as
// lost. So the job looks at its deliveries every few drawings, settles the
// ended ones at once, and never has more than a bound waiting: past it, it
// waits for the spooler to catch up.
#include "job/job_records.h"
#include "job/plot_job.h"

namespace tovrin {

using namespace job_detail;

namespace {

// A look every this many deliveries, and the most that may wait at once:
// together well under CUPS's default MaxJobs.
constexpr size_t kLookEvery = 20;
constexpr size_t kMaxOutstanding = 200;
constexpr int kCatchUpPollMs = 200;

}  // namespace

// Before each drawing of a job. False when the spooler did not catch up
// (the drawings left wait for the next job) or the history failed. A
// one-shot job waits for it up to the delivery wait; a poller does not
// wait, its next poll looks again, and it says so once until the spooler
// catches up.
bool PlotJob::KeepUpWithSpooler(const PlotSettings& s, const std::string& folder) {
  if (!spooler_ || s.OfiOut != setting_values::kToPlotter) return true;
  if (sent_since_look_ < kLookEvery && outstanding_ < kMaxOutstanding) return true;
  const double deadline = SteadySeconds() + (options_.repeat ? 0 : options_.wait_delivered_seconds);
  std::vector<HistoryRow> waiting;
  for (;;) {
    if (!CommitHistory() || !SettleDeliveries(s, folder, waiting)) return false;
    if (outstanding_ < kMaxOutstanding) {
      behind_said_ = false;
      return true;
    }
    if (SteadySeconds() >= deadline || host_.AbortRequested()) break;
    host_.Wait(kCatchUpPollMs);
  }
  if (!behind_said_) host_.AddLog(Reason(texts::kSpoolerBehind + std::to_string(outstanding_)));
  behind_said_ = options_.repeat;
  spooler_behind_ = true;
  if (!options_.repeat) summary_.failed = true;
  return false;
}

}  // namespace tovrin
