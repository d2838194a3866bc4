// The mark a plotted drawing carries. The history remembers what this start
// folder's programs plotted; the mark goes with the drawing, so a program
// with another start folder, or this one after its history was lost, sees
// it too. Where drawings cannot carry marks (a file system without user
// attributes, a drawing the service may not write) the history alone
// decides, and the log says so once.
#include "job/job_records.h"
#include "job/plot_job.h"

namespace tovrin {

using namespace job_detail;
namespace result = history_result;

namespace {

PlotMark MarkOf(const HistoryRow& row) {
  PlotMark mark;
  mark.size = row.drawing.size;
  mark.mtime_ns = row.drawing.mtime_ns;
  mark.inode = row.drawing.inode;
  mark.state = row.result;
  mark.printer = row.printer;
  mark.job_id = row.cups_job_id;
  mark.job_uuid = row.cups_job_uuid;
  mark.job_created = row.cups_job_created;
  mark.since = row.started_ms / 1000;
  return mark;
}

bool IsWaiting(const std::string& state) {
  return state == result::kSending || state == result::kDelivering;
}

}  // namespace

void PlotJob::MarkDrawing(const HistoryRow& row) {
  PlotMark mark = MarkOf(row);
  mark.then_delete = delete_finished_ && row.result == result::kFinished;
  std::string error;
  switch (WritePlotMarkAt(row.drawing.folder, row.drawing.name, mark, error)) {
    case MarkAccess::Done:
    case MarkAccess::None: return;
    case MarkAccess::Unsupported: NoteMarks(error); return;
    case MarkAccess::Failed:
      host_.AddLog(Reason(row.drawing.name + texts::kMarkUnwritable + error + ")"));
      return;
  }
}

// The drawing may be plotted again: its mark must not say otherwise.
void PlotJob::UnmarkDrawing(const HistoryRow& row) {
  std::string error;
  if (RemovePlotMarkAt(row.drawing.folder, row.drawing.name, error) == MarkAccess::Failed)
    host_.AddLog(Reason(row.drawing.name + texts::kMarkUnwritable + error + ")"));
}

void PlotJob::NoteMarks(const std::string& error) {
  if (marks_note_ == error) return;
  marks_note_ = error;
  host_.AddLog(Reason(texts::kNoPlotMarks + error + ")"));
}

// The drawing's own mark. One that cannot be read is said once per error;
// the caller leaves the drawing where it is.
MarkAccess PlotJob::ReadMark(const Candidate& c, PlotMark& mark) {
  std::string error;
  const MarkAccess access = ReadPlotMarkAt(c.folder, c.name, mark, error);
  if (access == MarkAccess::Unsupported) NoteMarks(error);
  if (access != MarkAccess::Failed) {
    mark_faults_.erase(c.name);
    return access;
  }
  std::string& said = mark_faults_[c.name];
  if (said != error) host_.AddLog(Reason(c.name + texts::kMarkUnreadable + error + ")"));
  said = error;
  return access;
}

// What the drawing's own mark says, for a drawing this history has no row
// of.
std::optional<bool> PlotJob::HandledByMark(const Candidate& c) {
  PlotMark mark;
  switch (ReadMark(c, mark)) {
    case MarkAccess::None:
    case MarkAccess::Unsupported: return false;
    case MarkAccess::Failed: return true;
    case MarkAccess::Done: break;
  }
  if (!mark.Matches(*c.stamp)) return false;  // rewritten or touched since it was plotted
  if (LeftToDelete(c, mark)) return true;
  HistoryRow marked;
  marked.result = mark.state;
  if (IsWaiting(mark.state) || mark.state == result::kLost) NoteWaiting(c, marked);
  if (IsWaiting(mark.state)) return AdoptMarked(c, mark);
  return mark.state == result::kLost || options_.repeat;
}

// A finished drawing whose job was to delete it, still here unchanged: that
// job was stopped (or failed) between recording the plot and deleting the
// drawing. It is deleted now, not plotted a second time; a job that keeps
// its drawings leaves it to be plotted as it would. Tried once per drawing
// by a poller, so that one it cannot delete is not reported at every poll.
bool PlotJob::LeftToDelete(const Candidate& c, const PlotMark& mark) {
  if (!delete_finished_ || !mark.then_delete || mark.state != result::kFinished) return false;
  const std::string seen =
      c.name + "\n" + std::to_string(c.stamp->inode) + "\n" + std::to_string(c.stamp->mtime_ns);
  if (!left_to_delete_.insert(seen).second) return true;
  host_.AddLog(Reason(c.name + texts::kLeftPlotted));
  HistoryRow row;
  row.drawing = IdentityOf(c.folder, c.name, *c.stamp);
  RemovePlottedOfi(row);
  return true;
}

// The history's row says the drawing was finished: its mark tells whether
// it was left to delete.
bool PlotJob::FinishedLeftToDelete(const Candidate& c) {
  if (!delete_finished_) return false;
  PlotMark mark;
  switch (ReadMark(c, mark)) {
    case MarkAccess::None:
    case MarkAccess::Unsupported: return false;
    case MarkAccess::Failed: return true;  // it cannot tell: left where it is
    case MarkAccess::Done: break;
  }
  return mark.Matches(*c.stamp) && LeftToDelete(c, mark);
}

// A delivery another program (or this one, before its history was lost)
// left with the spooler: taken into this history, so that it is tracked
// until the spooler is done with it. nullopt when the history failed.
std::optional<bool> PlotJob::AdoptMarked(const Candidate& c, const PlotMark& mark) {
  HistoryRow row;
  if (job_number_ == 0 && !history_->NewJob(job_number_)) {
    OnHistoryFault();
    return std::nullopt;
  }
  row.job = job_number_;
  row.started_ms = mark.since * 1000;
  row.drawing = IdentityOf(c.folder, c.name, *c.stamp);
  row.result = mark.state;
  row.printer = mark.printer;
  row.cups_job_id = mark.job_id;
  row.cups_job_uuid = mark.job_uuid;
  row.cups_job_created = mark.job_created;
  if (!SaveRow(row)) return std::nullopt;
  return true;
}

}  // namespace tovrin
