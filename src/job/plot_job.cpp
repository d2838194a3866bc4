#include "job/plot_job.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "job/delivery.h"
#include "job/header_text.h"
#include "job/job_texts.h"
#include "ofi/reader_cycle.h"

namespace tovrin {

namespace result = history_result;

struct PlotJob::Candidate {
  std::string name;
  std::string folder;
  std::optional<FileStamp> stamp;  // as listed; none when a chosen file is missing
  bool chosen = false;             // picked in the chooser rather than found
};

struct PlotJob::Drawing {
  std::string name;
  std::string folder;
  std::string ofi_path;
  std::string glf_path;
  std::string temp_path;  // the GLF is written here, then renamed
  std::string header;
  HistoryRow row;
};

namespace {

constexpr const char* kWorkFileName = "Tovrin.wok";
constexpr uint64_t kDefaultMaxDrawingBytes = uint64_t{1} << 30;
// A GLF may grow to this plus a multiple of its drawing's size; more means a
// drawing that makes far more plotter text than any real one.
constexpr uint64_t kGlfAllowanceBytes = uint64_t{64} << 20;
constexpr uint64_t kGlfBytesPerOfiByte = 64;
// Modification times this far ahead of the clock are a skewed clock, not a
// drawing being written.
constexpr double kFutureSkewSeconds = 60;
constexpr int kSettlePollMs = 200;

std::string Reason(const std::string& what) { return texts::kReasonIndent + what; }

double WallSeconds() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

double SteadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

int64_t NowMs() { return static_cast<int64_t>(WallSeconds() * 1000); }

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

// A digest of the drawings lying in a folder (FNV-1a over names and stamps).
uint64_t StateOf(const std::vector<StampedEntry>& entries) {
  uint64_t h = 14695981039346656037ull;
  auto mix = [&h](const void* data, size_t size) {
    for (size_t i = 0; i < size; ++i) h = (h ^ static_cast<const uint8_t*>(data)[i]) * 1099511628211ull;
  };
  for (const StampedEntry& e : entries) {
    mix(e.name.data(), e.name.size() + 1);
    mix(&e.stamp.size, sizeof e.stamp.size);
    mix(&e.stamp.mtime_ns, sizeof e.stamp.mtime_ns);
    mix(&e.stamp.inode, sizeof e.stamp.inode);
  }
  return h;
}

DrawingIdentity IdentityOf(const std::string& folder, const std::string& name,
                           const FileStamp& stamp) {
  return {folder, name, stamp.size, stamp.mtime_ns, stamp.inode};
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
      own_history_(options.history ? nullptr : MakeMemoryHistory()),
      history_(options.history ? options.history : own_history_.get()) {}

PlotJob::~PlotJob() = default;

bool PlotJob::KeepGoing() {
  host_.ProcessEvents();
  return !host_.AbortRequested();
}

uint64_t PlotJob::MaxDrawingBytes() const {
  if (options_.max_drawing_bytes != 0) return options_.max_drawing_bytes;
  // The drawing and its working copy must fit in what the system can give.
  return std::min(kDefaultMaxDrawingBytes, AvailableMemory() / 2);
}

JobSummary PlotJob::Run() {
  summary_ = {};
  glf_names_.clear();
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
  if (settings.OfiFMen == texts::kManual) chosen = host_.ChooseFiles(folder);
  FolderLock lock;
  if (!LockFolder(lock, folder)) return summary_;
  uint64_t folder_state = 0;
  auto candidates = ListCandidates(chosen, folder, folder_state);
  if (!candidates) return summary_;
  if (candidates->empty()) ReportIdle(folder_state);
  host_.ProcessEvents();
  host_.ShowOfiFolder(folder);

  job_number_ = history_->NewJob();
  settle_deadline_ = SteadySeconds() + options_.settle_wait_seconds;
  JobContext job(MakeSnapshot(settings));
  for (Candidate& c : *candidates) {
    if (PlotDrawing(job, c) == Outcome::StopJob) break;
    host_.ProcessEvents();
    if (host_.AbortRequested()) break;
  }
  return summary_;
}

// Another program plotting the folder makes this job a no-op, reported once
// until the folder is free again.
bool PlotJob::LockFolder(FolderLock& lock, const std::string& folder) {
  std::string error;
  switch (lock.TryLock(folder, error)) {
    case FolderLock::Result::Locked:
      busy_reported_ = false;
      return true;
    case FolderLock::Result::Busy:
      if (!busy_reported_) host_.AddLog(Reason(texts::kFolderBusy + folder));
      busy_reported_ = true;
      return false;
    case FolderLock::Result::Failed:
      break;
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
  for (Candidate& c : listed)
    if (!AlreadyHandled(c)) candidates.push_back(std::move(c));
  return candidates;
}

// A drawing whose plot is still with the spooler is never plotted again; a
// poller also passes over an unchanged drawing it has plotted or refused.
bool PlotJob::AlreadyHandled(const Candidate& c) {
  if (!c.stamp) return false;
  auto last = history_->LastFor(IdentityOf(c.folder, c.name, *c.stamp));
  if (!last) return false;
  if (last->result == result::kDelivering) return true;
  return options_.repeat && (last->result == result::kFinished ||
                             last->result == result::kRejected ||
                             last->result == result::kIncomplete);
}

// A poller says "no drawings" once until the drawings in the folder change.
void PlotJob::ReportIdle(uint64_t folder_state) {
  if (options_.repeat && idle_reported_ == folder_state) return;
  idle_reported_ = folder_state;
  host_.AddLog(texts::kNoDrawings);
}

void PlotJob::Record(Drawing& d, const char* outcome, const std::string& reason) {
  d.row.result = outcome;
  d.row.reason = reason;
  d.row.ended_ms = NowMs();
  if (d.row.id != 0) history_->Update(d.row);
}

void PlotJob::LogStopped(Drawing& d, const char* outcome, const std::string& reason) {
  host_.ReplaceLastLog(d.header + texts::kStopped);
  if (!reason.empty()) host_.AddLog(Reason(reason));
  ++summary_.stopped;
  Record(d, outcome, reason);
}

PlotJob::Outcome PlotJob::PlotDrawing(JobContext& job, Candidate& c) {
  Drawing d;
  d.name = c.name;
  d.folder = c.folder;
  d.ofi_path = JoinPath(c.folder, c.name);
  d.glf_path = JoinPath(c.folder, GlfNameFor(c.name));
  d.temp_path = JoinPath(c.folder, "." + GlfNameFor(c.name) + ".tmp");
  std::vector<uint8_t> ofi;
  if (ReadSettled(c, d, ofi) != Intake::Ready) return Outcome::Next;

  d.header = HeaderText(ofi);
  StartRow(d, c);
  host_.AddLog(d.header + texts::kPlotting);
  host_.ProcessEvents();
  if (host_.AbortRequested()) {
    Record(d, result::kAborted, {});
    return Outcome::StopJob;
  }
  if (!glf_names_.insert(GlfNameFor(c.name)).second) {
    LogStopped(d, result::kRejected, GlfNameFor(c.name) + texts::kGlfTaken);
    return Outcome::Next;
  }
  return TranslateToGlf(job, d, ofi);
}

// Reads the drawing once it has settled: not modified for the settle time,
// and the same when read as when listed. A poller leaves a drawing that is
// still being written for its next poll; a one-shot job waits for it.
PlotJob::Intake PlotJob::ReadSettled(Candidate& c, Drawing& d, std::vector<uint8_t>& ofi) {
  for (;;) {
    std::string error;
    if (!c.stamp) c.stamp = StampOf(d.ofi_path, error);
    if (!c.stamp) return Unreadable(c, d, error);
    if (!IsFresh(*c.stamp)) {
      FileStamp read_stamp;
      switch (ReadPlainFile(d.ofi_path, MaxDrawingBytes(), ofi, read_stamp, error)) {
        case ReadResult::Ok:
          if (read_stamp == *c.stamp) return Intake::Ready;
          break;
        case ReadResult::Changed:
          break;
        case ReadResult::Vanished:
          return Unreadable(c, d, error);
        case ReadResult::TooLarge:
        case ReadResult::NoMemory:
        case ReadResult::NotAFile:
        case ReadResult::Failed:
          return Unreadable(c, d, error);
      }
      c.stamp = read_stamp;  // changed since it was listed: being written
    }
    if (options_.repeat) return Intake::Leave;
    if (SteadySeconds() >= settle_deadline_ || host_.AbortRequested()) {
      host_.AddLog(Reason(c.name + texts::kStillBeingWritten));
      return Intake::Leave;
    }
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
// the folder with its reason in the log.
PlotJob::Intake PlotJob::Unreadable(const Candidate& c, Drawing& d, const std::string& error) {
  if (!c.chosen && error == kVanishedText) {
    host_.AddLog(Reason(c.name + texts::kVanished));
    return Intake::Skip;
  }
  d.header = BlankHeaderText();
  StartRow(d, c);
  host_.AddLog(d.header + texts::kPlotting);
  LogStopped(d, result::kFailed, c.name + texts::kUnreadable + error + ")");
  return Intake::Skip;
}

void PlotJob::StartRow(Drawing& d, const Candidate& c) {
  d.row.job = job_number_;
  d.row.started_ms = NowMs();
  d.row.drawing = IdentityOf(c.folder, c.name, c.stamp.value_or(FileStamp{}));
  d.row.header = d.header;
  d.row.result = result::kPlotting;
  d.row.id = history_->Add(d.row);
}

// The GLF is written under a temporary name, flushed to the disk and only
// then renamed: a GLF name never holds a partial plot, whatever stops us.
PlotJob::Outcome PlotJob::TranslateToGlf(JobContext& job, Drawing& d,
                                         const std::vector<uint8_t>& ofi) {
  GlfWriter out;
  std::string error;
  if (!out.Open(d.temp_path, error)) {
    LogStopped(d, result::kFailed, GlfNameFor(d.name) + texts::kCannotCreate + error + ")");
    summary_.failed = true;
    return Outcome::StopJob;
  }
  const uint64_t glf_limit = kGlfAllowanceBytes + kGlfBytesPerOfiByte * ofi.size();
  bool too_large = false;
  DrawingResult drawn = TranslateDrawing(job, ofi, out, [&] {
    too_large = out.BytesWritten() > glf_limit;
    return !too_large && KeepGoing();
  });
  const bool written = out.Close();
  const bool complete = written && !too_large && drawn.end == DrawingEnd::Finished;
  std::string ignored;
  if (!complete) RemoveFile(d.temp_path, ignored);
  if (!written) {
    LogStopped(d, result::kFailed, GlfNameFor(d.name) + texts::kCannotWrite + out.ErrorText() + ")");
    summary_.failed = true;
    return Outcome::StopJob;
  }
  if (too_large) {
    LogStopped(d, result::kRejected, texts::kGlfTooLarge + std::to_string(glf_limit) + ")");
    return Outcome::Next;
  }
  switch (drawn.end) {
    case DrawingEnd::Aborted:
      LogStopped(d, result::kAborted, {});
      return Outcome::StopJob;
    case DrawingEnd::Rejected:
      LogStopped(d, result::kRejected, drawn.reason);
      return Outcome::Next;
    case DrawingEnd::Incomplete:
      LogStopped(d, result::kIncomplete, texts::kIncomplete);
      return Outcome::Next;
    case DrawingEnd::Finished:
      break;
  }
  d.row.glf_bytes = out.BytesWritten();
  if (!SyncPath(d.temp_path, error) || !RenameFile(d.temp_path, d.glf_path, error)) {
    RemoveFile(d.temp_path, ignored);
    LogStopped(d, result::kFailed, GlfNameFor(d.name) + texts::kCannotWrite + error + ")");
    summary_.failed = true;
    return Outcome::StopJob;
  }
  SyncPath(d.folder, ignored);  // the rename itself reaches the disk
  return FinishDrawing(job, d);
}

// Delivery, then the OFI: it goes only once its plot is safe.
PlotJob::Outcome PlotJob::FinishDrawing(const JobContext& job, Drawing& d) {
  const PlotSettings& s = job.cfg.settings;
  if (glf_observer_) glf_observer_(d.name, d.glf_path);
  std::string error;
  if (s.OfiOut == texts::kToPlotter && spooler_) {
    // The default printer is looked up only when a drawing goes to it, so an
    // idle poll never talks to the spooler.
    if (host_.OutputPrinter().empty()) host_.SetOutputPrinter(spooler_->DefaultPrinter());
    d.row.printer = host_.OutputPrinter();
    auto job_id = DeliverGlf(*spooler_, d.row.printer, d.glf_path, d.name, error);
    if (!job_id) {
      LogStopped(d, result::kFailed, error);
      summary_.failed = true;
      return Outcome::StopJob;
    }
    d.row.cups_job_id = *job_id;
    RemoveFile(d.glf_path, error);
  }
  host_.ReplaceLastLog(d.header + texts::kFinished);
  ++summary_.finished;
  Record(d, result::kFinished, {});
  if (s.OfiFEnd != texts::kKeep && !RemoveFile(d.ofi_path, error))
    host_.AddLog(Reason(d.name + texts::kCannotDelete + error + ")"));
  return Outcome::Next;
}

}  // namespace tovrin
