// Which drawings a job takes, and when: the folder lock, the listing, the
// memory of what a poller has handled, and the wait for a drawing to settle.
#include <vector>

#include "job/header_text.h"
#include "job/job_records.h"
#include "job/plot_job.h"

namespace tovrin {

using namespace job_detail;
namespace result = history_result;

namespace {

// Modification times this far ahead of the clock are a skewed clock, not a
// drawing being written.
constexpr double kFutureSkewSeconds = 60;
constexpr int kSettlePollMs = 200;

// A digest of the drawings lying in a folder (FNV-1a over names and stamps).
uint64_t StateOf(const std::vector<StampedEntry>& entries) {
  uint64_t h = 14695981039346656037ull;
  auto mix = [&h](const void* data, size_t size) {
    for (size_t i = 0; i < size; ++i)
      h = (h ^ static_cast<const uint8_t*>(data)[i]) * 1099511628211ull;
  };
  for (const StampedEntry& e : entries) {
    mix(e.name.data(), e.name.size() + 1);
    mix(&e.stamp.size, sizeof e.stamp.size);
    mix(&e.stamp.mtime_ns, sizeof e.stamp.mtime_ns);
    mix(&e.stamp.inode, sizeof e.stamp.inode);
  }
  return h;
}

}  // namespace

// Another program plotting the folder makes this job a no-op, reported once
// until the folder is free again.
bool PlotJob::LockFolder(FolderLock& lock, const std::string& folder) {
  std::string error;
  switch (lock.TryLock(folder, error)) {
    case FolderLock::Result::Locked: busy_reported_ = false; return true;
    case FolderLock::Result::Busy:
      if (!busy_reported_) host_.AddLog(Reason(texts::kFolderBusy + folder));
      busy_reported_ = true;
      return false;
    case FolderLock::Result::Failed: break;
  }
  host_.AddLog(Reason(texts::kFolderUnreadable + folder + " (" + error + ")"));
  summary_.failed = true;
  return false;
}

// The drawings to plot, in name order: the chosen ones, or the folder's
// *.OFI files that are not empty. Those a poller has already handled, and
// those still with the spooler, are left out.
std::optional<std::vector<PlotJob::Candidate>> PlotJob::ListCandidates(
    const std::optional<std::vector<std::string>>& chosen, const std::string& folder,
    uint64_t& folder_state) {
  std::vector<Candidate> listed;
  std::string error;
  if (chosen) {
    for (const std::string& name : *chosen) {
      std::string ignored;
      listed.push_back({name, folder, StampOf(JoinPath(folder, name), ignored), true});
    }
  } else {
    auto entries = ListStamped(folder, IsOfiName, error);
    if (!entries) {
      host_.AddLog(Reason(texts::kFolderUnreadable + folder + " (" + error + ")"));
      summary_.failed = true;
      return std::nullopt;
    }
    folder_state = StateOf(*entries);
    for (StampedEntry& e : *entries)
      if (e.stamp.regular && e.stamp.size != 0) listed.push_back({e.name, folder, e.stamp, false});
  }
  std::vector<Candidate> candidates;
  for (Candidate& c : listed) {
    const std::optional<bool> handled = AlreadyHandled(c);
    if (!handled) return std::nullopt;
    if (!*handled) candidates.push_back(std::move(c));
  }
  return candidates;
}

// A drawing whose plot is still with the spooler is never plotted again. A
// poller also passes over an unchanged drawing it has plotted or refused, or
// whose job the spooler gave up on (someone may have cancelled it; touching
// the file plots it again). None when the history cannot tell (logged).
std::optional<bool> PlotJob::AlreadyHandled(const Candidate& c) {
  if (!c.stamp) return false;
  std::optional<HistoryRow> last;
  if (!history_->LastFor(IdentityOf(c.folder, c.name, *c.stamp), last)) {
    HistoryFailed();
    return std::nullopt;
  }
  if (!last) return false;
  if (last->result == result::kDelivering) return true;
  if (!options_.repeat) return false;
  return last->result == result::kFinished || last->result == result::kRejected ||
         last->result == result::kIncomplete ||
         (last->result == result::kFailed && last->cups_job_id != 0);
}

// A poller says "no drawings" once until the drawings in the folder change.
void PlotJob::ReportIdle(uint64_t folder_state) {
  if (options_.repeat && idle_reported_ == folder_state) return;
  idle_reported_ = folder_state;
  host_.AddLog(texts::kNoDrawings);
}

// Opens the drawing once it has settled: not modified for the settle time,
// and the same when opened as when listed. A poller leaves a drawing that is
// still being written for its next poll; a one-shot job waits for it.
PlotJob::Intake PlotJob::OpenSettled(Candidate& c, Drawing& d, DrawingFile& file) {
  for (;;) {
    std::string error;
    if (!c.stamp) c.stamp = StampOf(d.ofi_path, error);
    if (!c.stamp) return Unreadable(c, d, error);
    if (!IsFresh(*c.stamp)) {
      FileStamp opened;
      const ReadResult open = file.Open(d.ofi_path, max_drawing_bytes_, opened, error);
      if (open != ReadResult::Ok) return Unreadable(c, d, error, open == ReadResult::TooLarge);
      if (opened == *c.stamp) return Intake::Ready;
      file.Close();
      c.stamp = opened;  // changed since it was listed: being written
    }
    if (options_.repeat) return Intake::Leave;
    if (SteadySeconds() >= settle_deadline_ || host_.AbortRequested()) {
      host_.AddLog(Reason(c.name + texts::kStillBeingWritten));
      return Intake::Leave;
    }
    if (!CommitHistory()) return Intake::Leave;  // nothing waits uncommitted while we wait
    host_.Wait(kSettlePollMs);
    c.stamp = StampOf(d.ofi_path, error);
    if (!c.stamp) return Unreadable(c, d, error);
  }
}

bool PlotJob::IsFresh(const FileStamp& stamp) const {
  const double age = WallSeconds() - static_cast<double>(stamp.mtime_ns) / 1e9;
  return age < options_.settle_seconds && age > -kFutureSkewSeconds;
}

// A listed drawing that vanished before it was read was taken by someone
// else: a note, not a failure. Anything else that cannot be read stays in
// the folder with its reason in the log; one that is too large is refused
// for good (a poller does not try it again while it is unchanged).
PlotJob::Intake PlotJob::Unreadable(const Candidate& c, Drawing& d, const std::string& error,
                                    bool refused) {
  if (!c.chosen && error == kVanishedText) {
    host_.AddLog(Reason(c.name + texts::kVanished));
    return Intake::Skip;
  }
  d.header = BlankHeaderText();
  if (!StartRow(d, c)) return Intake::Skip;  // the job stops (history_failed_)
  host_.AddLog(d.header + texts::kPlotting);
  LogStopped(d, refused ? result::kRejected : result::kFailed,
             c.name + texts::kUnreadable + error + ")");
  return Intake::Skip;
}

}  // namespace tovrin
