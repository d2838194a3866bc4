#include "job/plot_job.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "job/delivery.h"
#include "job/file_words.h"
#include "job/header_text.h"
#include "job/job_records.h"
#include "translate/reader_cycle.h"

namespace tovrin {

using namespace job_detail;
namespace result = history_result;

namespace {

constexpr const char* kWorkFileName = "Tovrin.wok";
// Reading takes the same memory whatever the size; this only keeps a
// runaway file (a sparse one, say) from holding the folder for minutes.
constexpr uint64_t kDefaultMaxDrawingBytes = uint64_t{4} << 30;
constexpr size_t kHeaderBytes = 128;
// The history commits at least this often during a job.
constexpr int kRowsPerCommit = 64;
constexpr double kSecondsPerCommit = 0.25;
// A drawing this large takes longer to translate than a commit: what is
// gathered is committed before it.
constexpr uint64_t kCommitBeforeBytes = uint64_t{1} << 20;
// A GLF may grow to this plus a multiple of its drawing's size; more means a
// drawing that makes far more plotter text than any real one.
constexpr uint64_t kGlfAllowanceBytes = uint64_t{64} << 20;
constexpr uint64_t kGlfBytesPerOfiByte = 64;

// The folder setting, taken relative to the start folder when it is relative.
std::string ResolveFolder(const std::string& start, const std::string& folder) {
  if (!folder.empty() && folder.front() == '/') return folder;
  return folder.empty() ? start : JoinPath(start, folder);
}

// Exists for the job's duration, as the CAD system's tools expect; one left
// by a killed run is simply replaced.
class WorkFile {
 public:
  explicit WorkFile(const std::string& start_folder)
      : path_(JoinPath(start_folder, kWorkFileName)) {
    if (std::FILE* f = std::fopen(path_.c_str(), "wb")) std::fclose(f);
  }
  ~WorkFile() {
    std::string ignored;
    RemoveFile(path_, ignored);
  }

 private:
  std::string path_;
};

// The start of a drawing, where its header text is; what is missing is NUL.
std::vector<uint8_t> HeaderBytes(const DrawingFile& file) {
  std::vector<uint8_t> bytes(kHeaderBytes);
  bytes.resize(file.ReadAt(0, bytes.data(), bytes.size()));
  return bytes;
}

}  // namespace

std::string DrawingStem(const std::string& ofi_name) {
  return ofi_name.substr(0, ofi_name.find('.'));
}

std::string GlfNameFor(const std::string& ofi_name) { return DrawingStem(ofi_name) + ".GLF"; }

bool IsOfiName(const std::string& name) {
  return name.find(".OFI") != std::string::npos || name.find(".ofi") != std::string::npos;
}

PlotJob::PlotJob(JobHost& host, Spooler* spooler, std::string start_folder, JobOptions options)
    : host_(host),
      spooler_(spooler),
      start_folder_(std::move(start_folder)),
      options_(options),
      history_(options.history) {}

PlotJob::~PlotJob() = default;

bool PlotJob::KeepGoing() {
  host_.ProcessEvents();
  return !host_.AbortRequested();
}

uint64_t PlotJob::MaxDrawingBytes() const {
  return options_.max_drawing_bytes != 0 ? options_.max_drawing_bytes : kDefaultMaxDrawingBytes;
}

// The history outlives the program in the start folder. Without it nothing
// is plotted: it is what keeps a drawing from being plotted twice or
// deleted unplotted.
bool PlotJob::OpenHistory() {
  if (!history_) {
    std::string error;
    own_history_ = JobHistory::Open(JoinPath(start_folder_, kHistoryFileName), error);
    if (!own_history_) return HistoryFailed(error);
    history_ = own_history_.get();
  }
  return history_->Check() || HistoryFailed();
}

// Said once a job; the job then stops where it is.
bool PlotJob::HistoryFailed(const std::string& error) {
  if (!history_failed_) host_.AddLog(Reason(texts::kHistoryFailed + error + ")"));
  history_failed_ = true;
  summary_.failed = true;
  return false;
}

JobSummary PlotJob::Run() {
  summary_ = {};
  history_failed_ = false;
  glf_names_.clear();
  if (!OpenHistory()) return summary_;
  PlotSettings settings;
  std::string error;
  if (!host_.CaptureSettings(settings, error)) {
    host_.AddLog(Reason(texts::kBadSettings + error));
    summary_.failed = true;
    return summary_;
  }
  WorkFile work_file(start_folder_);
  std::string folder = ResolveFolder(start_folder_, settings.OfiFile);
  std::optional<std::vector<std::string>> chosen;
  if (settings.OfiFMen == setting_values::kManual) chosen = host_.ChooseFiles(folder);
  FolderLock lock;
  if (!LockFolder(lock, folder)) return summary_;
  uint64_t folder_state = 0;
  auto candidates = ListCandidates(chosen, folder, folder_state);
  if (!candidates) return summary_;
  if (candidates->empty()) ReportIdle(folder_state);
  host_.ProcessEvents();
  host_.ShowOfiFolder(folder);

  job_number_ = 0;  // taken with the first drawing: an idle poll writes nothing
  max_drawing_bytes_ = MaxDrawingBytes();
  settle_deadline_ = SteadySeconds() + options_.settle_wait_seconds;
  JobContext job(MakeSnapshot(settings));
  if (!history_->Hold(true)) {
    HistoryFailed();
    return summary_;
  }
  held_since_ = SteadySeconds();
  for (Candidate& c : *candidates) {
    if (PlotDrawing(job, c) == Outcome::StopJob || history_failed_) break;
    CommitIfDue();
    if (history_failed_) break;
    host_.ProcessEvents();
    if (host_.AbortRequested()) break;
  }
  // Both commit: what is gathered is kept, or the job says why once.
  if (CommitHistory() && !history_->Hold(false)) HistoryFailed();
  if (!history_failed_) TrackDeliveries(settings, folder);
  return summary_;
}

void PlotJob::CommitIfDue() {
  if (rows_held_ >= kRowsPerCommit || SteadySeconds() - held_since_ >= kSecondsPerCommit)
    (void)CommitHistory();  // a failure stops the job (history_failed_)
}

// The renamed GLFs reach the disk, then the rows that say so; only then do
// the finished drawings go. When the rows cannot be kept, the drawings stay
// too, and the job stops.
bool PlotJob::CommitHistory() {
  std::string error;
  if (!folder_to_sync_.empty()) SyncPath(folder_to_sync_, error);
  folder_to_sync_.clear();
  const bool kept = history_->Commit();
  if (kept)
    for (const HistoryRow& row : removals_) RemovePlottedOfi(row);
  removals_.clear();
  rows_held_ = 0;
  held_since_ = SteadySeconds();
  return kept || HistoryFailed();
}

bool PlotJob::Record(Drawing& d, const char* outcome, const std::string& reason) {
  d.row.result = outcome;
  d.row.reason = reason;
  d.row.ended_ms = NowMs();
  // Written once, when the drawing ends: rows are committed between
  // drawings, so a "plotting" row would never be seen by anyone else.
  const bool ok = d.row.id == 0 ? history_->Add(d.row) : history_->Update(d.row);
  ++rows_held_;
  return ok || HistoryFailed();
}

void PlotJob::LogStopped(Drawing& d, const char* outcome, const std::string& reason) {
  host_.ReplaceLastLog(d.header + texts::kStopped);
  if (!reason.empty()) host_.AddLog(Reason(reason));
  ++summary_.stopped;
  (void)Record(d, outcome, reason);  // a failure stops the job (history_failed_)
}

PlotJob::Outcome PlotJob::PlotDrawing(JobContext& job, Candidate& c) {
  Drawing d;
  d.name = c.name;
  d.folder = c.folder;
  d.ofi_path = JoinPath(c.folder, c.name);
  d.glf_path = JoinPath(c.folder, GlfNameFor(c.name));
  d.temp_path = JoinPath(c.folder, "." + GlfNameFor(c.name) + ".tmp");
  DrawingFile file;
  if (OpenSettled(c, d, file) != Intake::Ready) return Outcome::Next;

  d.header = HeaderText(HeaderBytes(file));
  if (!StartRow(d, c)) return Outcome::StopJob;
  host_.AddLog(d.header + texts::kPlotting);
  host_.ProcessEvents();
  if (host_.AbortRequested()) {
    (void)Record(d, result::kAborted, {});  // stops the job either way
    return Outcome::StopJob;
  }
  if (!glf_names_.insert(GlfNameFor(c.name)).second) {
    LogStopped(d, result::kRejected, GlfNameFor(c.name) + texts::kGlfTaken);
    return Outcome::Next;
  }
  return TranslateToGlf(job, d, file, *c.stamp);
}

bool PlotJob::StartRow(Drawing& d, const Candidate& c) {
  if (job_number_ == 0 && !history_->NewJob(job_number_)) return HistoryFailed();
  d.row.job = job_number_;
  d.row.started_ms = NowMs();
  d.row.drawing = IdentityOf(c.folder, c.name, c.stamp.value_or(FileStamp{}));
  d.row.header = d.header;
  d.row.result = result::kPlotting;
  return true;
}

// The drawing is read through a window as it is translated, and must still
// be the file that was opened when the translation ends. The GLF is written
// under a temporary name and renamed only when whole.
PlotJob::Outcome PlotJob::TranslateToGlf(JobContext& job, Drawing& d, const DrawingFile& file,
                                         const FileStamp& stamp) {
  // Gathered rows hold the history's write lock; another program sharing
  // it must not wait out a long translation.
  if (stamp.size > kCommitBeforeBytes && !CommitHistory()) return Outcome::StopJob;
  GlfWriter out;
  std::string error;
  if (!out.Open(d.temp_path, error)) {
    LogStopped(d, result::kFailed, GlfNameFor(d.name) + texts::kCannotCreate + error + ")");
    summary_.failed = true;
    return Outcome::StopJob;
  }
  const uint64_t glf_limit = kGlfAllowanceBytes + kGlfBytesPerOfiByte * stamp.size;
  bool too_large = false;
  FileWords words(file);
  DrawingResult drawn = TranslateDrawing(
      job, WordReader(words, stamp.size, WordReader::kWindowWords, WordReader::ReadAhead::On), out,
      [&] {
        too_large = out.BytesWritten() > glf_limit;
        return !too_large && KeepGoing();
      });
  // Written out whole first: the GLF's size is then exact.
  out.Drain();
  too_large = too_large || out.BytesWritten() > glf_limit;
  const bool changed = drawn.short_read || file.StampNow() != stamp;
  const bool keep = !too_large && !changed && drawn.end == DrawingEnd::Finished;
  const bool written = out.Close(/*to_disk=*/keep);
  if (!written || !keep) {
    std::string ignored;
    RemoveFile(d.temp_path, ignored);
  }
  if (!written) {
    LogStopped(d, result::kFailed,
               GlfNameFor(d.name) + texts::kCannotWrite + out.ErrorText() + ")");
    summary_.failed = true;
    return Outcome::StopJob;
  }
  if (too_large) {
    LogStopped(d, result::kRejected, texts::kGlfTooLarge + std::to_string(glf_limit) + ")");
    return Outcome::Next;
  }
  if (changed && drawn.end != DrawingEnd::Aborted) {
    LogStopped(d, result::kIncomplete, d.name + texts::kChangedWhileRead);
    return Outcome::Next;
  }
  switch (drawn.end) {
    case DrawingEnd::Aborted: LogStopped(d, result::kAborted, {}); return Outcome::StopJob;
    case DrawingEnd::Rejected: LogStopped(d, result::kRejected, drawn.reason); return Outcome::Next;
    case DrawingEnd::Incomplete:
      LogStopped(d, result::kIncomplete, texts::kIncomplete);
      return Outcome::Next;
    case DrawingEnd::Finished: break;
  }
  return KeepGlf(job, d, out.BytesWritten());
}

// The whole GLF is on the disk (Close waited for it) before it takes its
// name; the rename reaches the disk with the next commit, before the
// drawing can go.
PlotJob::Outcome PlotJob::KeepGlf(JobContext& job, Drawing& d, uint64_t glf_bytes) {
  d.row.glf_bytes = glf_bytes;
  std::string error, ignored;
  if (!RenameFile(d.temp_path, d.glf_path, error)) {
    RemoveFile(d.temp_path, ignored);
    LogStopped(d, result::kFailed, GlfNameFor(d.name) + texts::kCannotWrite + error + ")");
    summary_.failed = true;
    return Outcome::StopJob;
  }
  folder_to_sync_ = d.folder;  // with the next commit, before any drawing goes
  return FinishDrawing(job, d);
}

// Delivery, then the OFI: it goes only once its plot is safe.
PlotJob::Outcome PlotJob::FinishDrawing(const JobContext& job, Drawing& d) {
  const PlotSettings& s = job.cfg.settings;
  if (glf_observer_) glf_observer_(d.name, d.glf_path);
  std::string error;
  if (s.OfiOut == setting_values::kToPlotter && spooler_) {
    // The default printer is looked up only when a drawing goes to it, so an
    // idle poll never talks to the spooler.
    if (host_.OutputPrinter().empty()) host_.SetOutputPrinter(spooler_->DefaultPrinter());
    d.row.printer = host_.OutputPrinter();
    // The spooler may take seconds: no lock held meanwhile.
    if (!CommitHistory()) return Outcome::StopJob;
    auto job_id = DeliverGlf(*spooler_, d.row.printer, d.glf_path, d.name, error);
    if (!job_id) {
      LogStopped(d, result::kFailed, error);
      summary_.failed = true;
      return Outcome::StopJob;
    }
    d.row.cups_job_id = *job_id;
    RemoveFile(d.glf_path, error);
    // The OFI waits until the spooler reports the job completed.
    host_.ReplaceLastLog(d.header + texts::kFinished);
    ++summary_.finished;
    // A delivery is never forgotten.
    if (!Record(d, result::kDelivering, {}) || !CommitHistory()) return Outcome::StopJob;
    return Outcome::Next;
  }
  host_.ReplaceLastLog(d.header + texts::kFinished);
  ++summary_.finished;
  if (!Record(d, result::kFinished, {})) return Outcome::StopJob;
  if (s.OfiFEnd != setting_values::kKeep) removals_.push_back(d.row);
  return Outcome::Next;
}

}  // namespace tovrin
