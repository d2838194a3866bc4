// Which drawings a job takes, and when: the folder lock, the listing, the
// memory of what a poller has handled, and the wait for a drawing to settle.
#include <algorithm>
#include <iterator>
#include <vector>

#include "job/header_text.h"
#include "job/job_records.h"
#include "job/plot_job.h"
#include "platform/spool_files.h"
#include "translate/command_table.h"

namespace tovrin {

using namespace job_detail;
namespace result = history_result;

namespace {

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

// The names a listing of the folder takes: drawings, and what a killed run
// may have left (its temporary files, a file it had moved aside to delete).
bool ListedName(const std::string& name) {
  return IsOfiName(name) || IsJobTempName(name) || IsAsideName(name);
}

// The last word pair of the file is the end marker (ESC '@', 'E').
bool EndsWithEndMarker(const DrawingFile& file, uint64_t size) {
  constexpr uint8_t kMarker[4] = {kEscAt & 0xFF, kEscAt >> 8, kEndMarker & 0xFF, kEndMarker >> 8};
  uint8_t last[4] = {};
  if (size < sizeof last || size % 2 != 0) return false;
  return file.ReadAt(size - sizeof last, last, sizeof last) == sizeof last &&
         std::equal(std::begin(last), std::end(last), std::begin(kMarker));
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

// What a killed run left goes; under the folder lock, no running job's file
// is touched. A file it had moved aside to delete goes only if its mark says
// it is a plotted drawing: otherwise it may be someone's new drawing, and it
// gets a visible name of its own. Takes those entries out of `entries`.
void PlotJob::CleanFolder(const std::string& folder, std::vector<StampedEntry>& entries) {
  for (const StampedEntry& e : entries) {
    std::string error;
    if (IsAsideName(e.name)) {
      PutAside(folder, e);
    } else if (IsJobTempName(e.name) && (e.stamp.regular || e.stamp.link) &&
               !RemoveEntry(folder, e.name, error)) {
      host_.AddLog(Reason(e.name + texts::kCannotDelete + error + ")"));
    }
  }
  std::erase_if(entries,
                [](const StampedEntry& e) { return IsJobTempName(e.name) || IsAsideName(e.name); });
}

void PlotJob::PutAside(const std::string& folder, const StampedEntry& e) {
  std::string error, kept_as;
  PlotMark mark;
  const bool plotted = e.stamp.regular &&
                       ReadPlotMarkAt(folder, e.name, mark, error) == MarkAccess::Done &&
                       mark.Matches(e.stamp) && mark.state == result::kFinished;
  if (plotted ? RemoveEntry(folder, e.name, error) : RestoreAside(folder, e.name, kept_as, error)) {
    if (!plotted) host_.AddLog(Reason(texts::kRestored + kept_as));
  } else {
    host_.AddLog(Reason(e.name + texts::kCannotDelete + error + ")"));
  }
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
    // One listing for the drawings and what a killed run left.
    auto entries = ListStamped(folder, ListedName, error);
    if (!entries) {
      host_.AddLog(Reason(texts::kFolderUnreadable + folder + " (" + error + ")"));
      summary_.failed = true;
      return std::nullopt;
    }
    CleanFolder(folder, *entries);
    folder_state = StateOf(*entries);
    // A link is listed to be refused with its reason, never followed.
    for (StampedEntry& e : *entries)
      if ((e.stamp.regular && e.stamp.size != 0) || e.stamp.link)
        listed.push_back({e.name, folder, e.stamp, false});
    PruneSightings(*entries);
  }
  std::vector<Candidate> candidates;
  for (Candidate& c : listed) {
    const std::optional<bool> handled = AlreadyHandled(c);
    if (!handled) return std::nullopt;  // the history did not answer: plot nothing
    if (!*handled) candidates.push_back(std::move(c));
  }
  return candidates;
}

// A drawing whose plot is still with the spooler, or whose job the spooler
// lost, is never plotted again by itself. A poller also passes over an
// unchanged drawing it has plotted or refused, or whose job the spooler
// gave up on (someone may have cancelled it; touching the file plots it
// again). The history is asked first, then the drawing's own mark: another
// program, or this one with a history made afresh, may have plotted it.
// nullopt: the history did not answer.
std::optional<bool> PlotJob::AlreadyHandled(const Candidate& c) {
  if (!c.stamp || c.stamp->link) return false;
  std::optional<HistoryRow> last;
  if (!history_->LastFor(IdentityOf(c.folder, c.name, *c.stamp), last)) {
    OnHistoryFault();
    return std::nullopt;
  }
  if (!last) return HandledByMark(c);
  const std::string& r = last->result;
  if (r == result::kFinished && FinishedLeftToDelete(c)) return true;
  const bool handled = r == result::kDelivering || r == result::kSending || r == result::kLost ||
                       (options_.repeat && (r == result::kFinished || r == result::kRejected ||
                                            r == result::kIncomplete ||
                                            (r == result::kFailed && last->cups_job_id != 0)));
  if (handled) NoteWaiting(c, *last);
  return handled;
}

bool PlotJob::NoteHot(const std::string& name) {
  if (!IsOfiName(name) || IsJobTempName(name) || IsAsideName(name)) return false;
  hot_.insert(name);
  return true;
}

// A poller says "no drawings" once until the drawings in the folder change.
void PlotJob::ReportIdle(uint64_t folder_state) {
  if (options_.repeat && idle_reported_ == folder_state) return;
  idle_reported_ = folder_state;
  host_.AddLog(texts::kNoDrawings);
}

// Opens the drawing once it has settled: not modified for the settle time,
// and the same when opened as when listed. A drawing closed or moved in just
// now need not settle if it ends with its end marker: its writer is done
// with it. A poller leaves a drawing that is still being written for a later
// poll; a one-shot job waits for it.
PlotJob::Intake PlotJob::OpenSettled(Candidate& c, Drawing& d, DrawingFile& file) {
  for (;;) {
    std::string error;
    if (!c.stamp) c.stamp = StampOf(d.ofi_path, error);
    if (!c.stamp) return Unreadable(c, d, error);
    const double left = SettleLeft(c.name, *c.stamp);
    if (left <= 0 || hot_.count(c.name)) {
      FileStamp opened;
      const ReadResult open = file.Open(d.ofi_path, max_drawing_bytes_, opened, error);
      // Too large, or not a plain file (a link, a FIFO): refused for good.
      if (open != ReadResult::Ok)
        return Unreadable(c, d, error,
                          open == ReadResult::TooLarge || open == ReadResult::NotAFile);
      if (opened == *c.stamp && (left <= 0 || EndsWithEndMarker(file, opened.size)))
        return Intake::Ready;
      file.Close();
      c.stamp = opened;  // changed since it was listed, or not whole yet
    }
    if (options_.repeat || SteadySeconds() >= settle_deadline_ || host_.AbortRequested()) {
      if (!options_.repeat) host_.AddLog(Reason(c.name + texts::kStillBeingWritten));
      NoteSettleDue(std::max(left, 0.0));
      NoteSettling(c);
      return Intake::Leave;
    }
    if (!CommitHistory()) return Intake::Leave;  // nothing waits uncommitted while we wait
    host_.Wait(kSettlePollMs);
    c.stamp = StampOf(d.ofi_path, error);
    if (!c.stamp) return Unreadable(c, d, error);
  }
}

// Seconds until a drawing written within the settle time has settled; 0 or
// less once it has. A modification time ahead of the clock (a CAD host whose
// clock runs fast, a file written just now) counts as just changed: the
// settle time then runs from when the drawing was first seen as it is.
double PlotJob::SettleLeft(const std::string& name, const FileStamp& stamp) {
  const double now = WallSeconds();
  const double age = now - static_cast<double>(stamp.mtime_ns) / 1e9;
  if (age >= 0) return options_.settle_seconds - age;
  Sighting& seen = first_seen_[name];
  if (seen.since == 0 || seen.stamp != stamp) seen = {stamp, SteadySeconds()};
  return options_.settle_seconds - (SteadySeconds() - seen.since);
}

// A poller looks again when the first drawing left to settle is due (a
// little after, so that it has), not only at its next full listing.
void PlotJob::NoteSettleDue(double left) {
  constexpr double kAfter = 0.05;
  const double due = left + kAfter;
  if (summary_.settle_due == 0 || due < summary_.settle_due) summary_.settle_due = due;
}

// Only the drawings still listed are remembered.
void PlotJob::PruneSightings(const std::vector<StampedEntry>& entries) {
  for (auto it = first_seen_.begin(); it != first_seen_.end();) {
    const bool listed = std::any_of(entries.begin(), entries.end(),
                                    [&](const StampedEntry& e) { return e.name == it->first; });
    it = listed ? std::next(it) : first_seen_.erase(it);
  }
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
  StartRow(d, c);
  host_.AddLog(d.header + texts::kPlotting);
  LogStopped(d, refused ? result::kRejected : result::kFailed,
             c.name + texts::kUnreadable + error + ")");
  return Intake::Skip;
}

}  // namespace tovrin
