#include "app/spool_wait.h"

#include <chrono>
#include <csignal>

#include "platform/readable_wait.h"

namespace tovrin {

namespace {

// A folder that lost its watch (removed, moved away) is looked for again
// this often, so that events resume soon after it is back.
constexpr double kRewatchSeconds = 1;

double Now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

bool SpoolWait::Wait(PlotJob& job, const JobSummary& last, double seconds) {
  if (last.settle_due > 0 && last.settle_due < seconds) seconds = last.settle_due;
  const double end = Now() + seconds;
  for (;;) {
    // What came in before the watch was up has no event: one more listing.
    if (!last.folder.empty() && Rewatch(last.folder)) return true;
    double left = end - Now();
    if (left <= 0) return true;
    if (!watch_.Watching() && left > kRewatchSeconds) left = kRewatchSeconds;
    if (tick_seconds_ > 0 && left > tick_seconds_) left = tick_seconds_;
    if (tick_) tick_();
    switch (WaitReadable(watch_.Fd(), left, interrupted_, {SIGINT, SIGTERM, SIGHUP})) {
      case WaitEnd::Interrupted: return false;
      case WaitEnd::TimedOut: break;
      case WaitEnd::Readable:
        if (TakeEvents(job)) return true;
        break;
    }
  }
}

// True when the folder is watched afresh (first, again, or another one).
bool SpoolWait::Rewatch(const std::string& folder) {
  if (watch_.Watching() && watched_ == folder) return false;
  std::string error;
  if (watch_.Watch(folder, error)) {
    watched_ = folder;
    if (!said_.empty()) log_(folder + ": watched again, drawings are taken as they arrive");
    said_.clear();
    return true;
  }
  const std::string note =
      folder + ": cannot be watched (" + error + "), drawings are found by the listing only";
  if (note != said_) log_(note);
  said_ = note;
  return false;
}

// Events lost: list everything. A drawing closed or moved in: a job for it.
bool SpoolWait::TakeEvents(PlotJob& job) {
  const FolderWatch::Events events = watch_.Take();
  bool due = events.list_all;
  for (const std::string& name : events.names) due = job.NoteHot(name) || due;
  return due;
}

}  // namespace tovrin
