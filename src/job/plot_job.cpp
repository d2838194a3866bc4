#include "job/plot_job.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "job/header_text.h"
#include "job/job_records.h"
#include "platform/spool_files.h"
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

std::string ResolveOfiFolder(const std::string& start, const std::string& folder) {
  if (!folder.empty() && folder.front() == '/') return folder;
  return folder.empty() ? start : JoinPath(start, folder);
}

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

JobSummary PlotJob::Run() {
  deliveries_waiting_ = 0;
  RunJob();
  hot_.clear();  // what was hot and not taken settles as any drawing
  ShowWaiting(deliveries_waiting_);
  return summary_;
}

JobSummary PlotJob::RunJob() {
  summary_ = {};
  glf_names_.clear();
  glf_kept_.clear();
  history_failed_ = false;
  threads_noted_ = false;
  PlotSettings settings;
  std::string error;
  if (!host_.CaptureSettings(settings, error)) {
    host_.AddLog(Reason(texts::kBadSettings + error));
    summary_.failed = true;
    return summary_;
  }
  delete_finished_ = settings.OfiFEnd != setting_values::kKeep;
  WorkFile work_file(start_folder_);
  std::string folder = ResolveOfiFolder(start_folder_, settings.OfiFile);
  summary_.folder = folder;
  std::optional<std::vector<std::string>> chosen;
  if (settings.OfiFMen == setting_values::kManual) chosen = host_.ChooseFiles(folder);
  FolderLock lock;
  if (!LockFolder(lock, folder)) return summary_;
  // Nothing is plotted unless the record of what was plotted can be read
  // and written.
  if (!HistoryReady()) return summary_;
  ResolveInterrupted(folder);
  uint64_t folder_state = 0;
  std::optional<std::vector<Candidate>> candidates;
  if (!HistoryDown()) candidates = ListCandidates(chosen, folder, folder_state);
  if (!candidates) return summary_;
  ShowListed(folder);
  if (candidates->empty()) ReportIdle(folder_state);
  host_.ProcessEvents();
  host_.ShowOfiFolder(folder);

  job_number_ = 0;  // taken with the first drawing: an idle poll writes nothing
  max_drawing_bytes_ = MaxDrawingBytes();
  settle_deadline_ = SteadySeconds() + options_.settle_wait_seconds;
  JobContext job(MakeSnapshot(settings));
  // The first write opens the batch's transaction.
  if (!history_->Hold(true)) {
    OnHistoryFault();
    return summary_;
  }
  held_since_ = SteadySeconds();
  // The deliveries of earlier jobs are looked at before this job's first.
  outstanding_ = 0;
  sent_since_look_ = SIZE_MAX;
  spooler_behind_ = false;
  for (Candidate& c : *candidates) {
    if (!KeepUpWithSpooler(settings, folder)) break;
    if (PlotDrawing(job, c) == Outcome::StopJob || !CommitIfDue()) break;
    host_.ProcessEvents();
    if (host_.AbortRequested()) break;
  }
  if (CommitHistory() && !history_->Hold(false)) OnHistoryFault();
  if (!HistoryDown()) TrackDeliveries(settings, folder);
  return summary_;
}

PlotJob::Outcome PlotJob::PlotDrawing(JobContext& job, Candidate& c) {
  Drawing d;
  d.name = c.name;
  d.folder = c.folder;
  d.ofi_path = JoinPath(c.folder, c.name);
  d.glf_path = JoinPath(c.folder, GlfNameFor(c.name));
  DrawingFile file;
  if (OpenSettled(c, d, file) != Intake::Ready)
    return HistoryDown() ? Outcome::StopJob : Outcome::Next;

  d.header = HeaderText(HeaderBytes(file));
  StartRow(d, c);
  host_.AddLog(d.header + texts::kPlotting);
  host_.ProcessEvents();
  if (host_.AbortRequested()) {
    Record(d, result::kAborted, {});
    return Outcome::StopJob;
  }
  if (!glf_names_.insert(GlfNameFor(c.name)).second) {
    LogStopped(d, result::kRejected, GlfNameFor(c.name) + texts::kGlfTaken);
    return HistoryDown() ? Outcome::StopJob : Outcome::Next;
  }
  const Outcome outcome = TranslateToGlf(job, d, file, *c.stamp);
  NoteThreads(d.thread_note);
  return outcome;
}

void PlotJob::StartRow(Drawing& d, const Candidate& c) {
  if (job_number_ == 0 && !HistoryDown() && !history_->NewJob(job_number_)) OnHistoryFault();
  d.row.job = job_number_;
  d.row.started_ms = NowMs();
  d.row.drawing = IdentityOf(c.folder, c.name, c.stamp.value_or(FileStamp{}));
  d.row.header = d.header;
  d.row.result = result::kPlotting;
}

// The drawing's line ends "出図中止" with its reason; no plot of it is left
// under its GLF name (an earlier run's would pass for this one).
void PlotJob::LogStopped(Drawing& d, const char* outcome, const std::string& reason) {
  host_.EndDrawing(d.header + texts::kStopped, {d.name, outcome, d.row.printer, 0, reason});
  if (!reason.empty()) host_.AddLog(Reason(reason));
  ++summary_.stopped;
  ShowEnded(d.row, outcome);
  RemoveStaleGlf(d);
  Record(d, outcome, reason);
}

void PlotJob::RemoveStaleGlf(const Drawing& d) {
  const std::string glf = GlfNameFor(d.name);
  if (glf_kept_.count(glf)) return;  // another drawing of this job made it (A.1.OFI, A.2.OFI)
  std::string error;
  if (!RemoveEntry(d.folder, glf, error))
    host_.AddLog(Reason(glf + texts::kCannotDelete + error + ")"));
}

}  // namespace tovrin
