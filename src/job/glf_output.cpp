// One drawing to its GLF. The GLF is written to a temporary file of the
// job's own, created exclusively in the spool folder (a name planted there
// by someone else is never written through), and takes its name only when
// it is whole and on the disk.
#include <cstring>

#include "glf/glf_writer.h"
#include "job/file_words.h"
#include "job/job_records.h"
#include "job/plot_job.h"
#include "platform/spool_files.h"
#include "translate/reader_cycle.h"

namespace tovrin {

using namespace job_detail;
namespace result = history_result;

namespace {

// A GLF may grow to this plus a multiple of its drawing's size; more means a
// drawing that makes far more plotter text than any real one.
constexpr uint64_t kGlfAllowanceBytes = uint64_t{64} << 20;
constexpr uint64_t kGlfBytesPerOfiByte = 64;
// A drawing this large takes longer to translate than a commit: what is
// gathered is committed before it.
constexpr uint64_t kCommitBeforeBytes = uint64_t{1} << 20;

}  // namespace

// A temporary GLF that cannot be made stops the job (the folder cannot be
// written), unless it is this drawing's name that the folder cannot hold.
PlotJob::Outcome PlotJob::OpenGlf(Drawing& d, GlfWriter& out) {
  std::string error;
  std::optional<TempFile> temp = CreateTempFile(d.folder, "." + GlfNameFor(d.name) + ".tmp", error);
  if (temp) {
    d.temp_path = temp->path;
    if (out.Open(temp->fd, error)) return Outcome::Next;
  }
  const bool name_only = error == std::strerror(ENAMETOOLONG);
  LogStopped(d, result::kFailed, GlfNameFor(d.name) + texts::kCannotCreate + error + ")");
  if (!d.temp_path.empty()) RemoveFile(d.temp_path, error);
  if (name_only) return Outcome::Next;
  summary_.failed = true;
  return Outcome::StopJob;
}

// The drawing is read through a window as it is translated, and must still
// be the file that was opened when the translation ends.
PlotJob::Outcome PlotJob::TranslateToGlf(JobContext& job, Drawing& d, const DrawingFile& file,
                                         const FileStamp& stamp) {
  GlfWriter out;
  if (OpenGlf(d, out) == Outcome::StopJob || d.temp_path.empty()) return Outcome::StopJob;
  const uint64_t glf_limit = kGlfAllowanceBytes + kGlfBytesPerOfiByte * stamp.size;
  bool too_large = false;
  // Gathered rows hold the history's write lock; another program sharing
  // it must not wait out a long translation.
  if (stamp.size > kCommitBeforeBytes && !CommitHistory()) return Outcome::StopJob;
  // The file never holds more than the limit; the drawing is stopped as
  // soon as its GLF is surely too large, and never refused below it.
  out.SetSizeLimit(glf_limit);
  FileWords words(file);
  WordReader reader(words, stamp.size, WordReader::kWindowWords, WordReader::ReadAhead::On);
  const std::string reader_note = reader.ReadAheadNote();
  DrawingResult drawn = TranslateDrawing(job, std::move(reader), out, [&] {
    too_large = out.BytesAtLeast() > glf_limit;
    return !too_large && KeepGoing();
  });
  d.thread_note = out.ThreadNote().empty() ? reader_note : out.ThreadNote();
  if (!too_large) out.Flush();  // written out whole first: the size is then exact
  too_large = too_large || out.BytesWritten() > glf_limit;
  const bool changed = drawn.short_read || file.StampNow() != stamp;
  const bool keep = !too_large && !changed && drawn.end == DrawingEnd::Finished;
  if (!keep) out.Discard();
  std::string ignored;
  const bool delivering = job.cfg.settings.OfiOut == setting_values::kToPlotter && spooler_;
  const bool written = keep && out.Finish(/*to_disk=*/!delivering);
  if (!written) RemoveFile(d.temp_path, ignored);
  if (keep && !written) {
    LogStopped(d, result::kFailed,
               GlfNameFor(d.name) + texts::kCannotWrite + out.ErrorText() + ")");
    summary_.failed = true;
    return Outcome::StopJob;
  }
  if (too_large) {
    LogStopped(d, result::kRejected, texts::kGlfTooLarge + std::to_string(glf_limit) + ")");
    return HistoryDown() ? Outcome::StopJob : Outcome::Next;
  }
  if (changed && drawn.end != DrawingEnd::Aborted) {
    LogStopped(d, result::kIncomplete, d.name + texts::kChangedWhileRead);
    return HistoryDown() ? Outcome::StopJob : Outcome::Next;
  }
  switch (drawn.end) {
    case DrawingEnd::Aborted: LogStopped(d, result::kAborted, {}); return Outcome::StopJob;
    case DrawingEnd::Rejected:
      LogStopped(d, result::kRejected, drawn.reason);
      return HistoryDown() ? Outcome::StopJob : Outcome::Next;
    case DrawingEnd::Incomplete:
      LogStopped(d, result::kIncomplete, texts::kIncomplete);
      return HistoryDown() ? Outcome::StopJob : Outcome::Next;
    case DrawingEnd::Finished: break;
  }
  d.row.glf_bytes = out.BytesWritten();
  return delivering ? FinishDrawing(job, d) : PublishGlf(job, d, d.row.glf_bytes);
}

// A thread the system would not start costs speed, not the plot: said once
// per job, below the drawing's final line.
void PlotJob::NoteThreads(const std::string& note) {
  if (note.empty() || threads_noted_) return;
  threads_noted_ = true;
  host_.AddLog(Reason(texts::kThreadNote + note + ")"));
}

// The whole GLF is on the disk (Finish waited for it) before it takes its
// name; the rename reaches the disk with the next commit, before the
// drawing can go.
PlotJob::Outcome PlotJob::PublishGlf(JobContext& job, Drawing& d, uint64_t glf_bytes) {
  d.row.glf_bytes = glf_bytes;
  std::string error, ignored;
  if (!RenameFile(d.temp_path, d.glf_path, error)) {
    RemoveFile(d.temp_path, ignored);
    LogStopped(d, result::kFailed, GlfNameFor(d.name) + texts::kCannotWrite + error + ")");
    summary_.failed = true;
    return Outcome::StopJob;
  }
  d.temp_path.clear();
  glf_kept_.insert(GlfNameFor(d.name));
  folder_to_sync_ = d.folder;  // with the next commit, before any drawing goes
  return FinishDrawing(job, d);
}

}  // namespace tovrin
