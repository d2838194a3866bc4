#include "job/plot_job.h"

#include <cstdio>
#include <vector>

#include "job/delivery.h"
#include "job/header_text.h"
#include "job/job_texts.h"
#include "translate/reader_cycle.h"
#include "platform/folder.h"

namespace tovrin {

struct PlotJob::Drawing {
  std::string name;
  std::string ofi_path;
  std::string glf_path;
  std::string header;
};

namespace {

constexpr const char* kWorkFileName = "Tovrin.wok";

std::string Reason(const std::string& what) { return "　　" + what; }

// The folder setting, taken relative to the start folder when it is relative.
std::string ResolveFolder(const std::string& start, const std::string& folder) {
  if (!folder.empty() && folder.front() == '/') return folder;
  return folder.empty() ? start : JoinPath(start, folder);
}

// Exists for the job's duration, as the CAD system's tools expect.
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

}  // namespace

std::string GlfNameFor(const std::string& ofi_name) {
  return ofi_name.substr(0, ofi_name.find('.')) + ".GLF";
}

bool IsOfiName(const std::string& name) {
  return name.find(".OFI") != std::string::npos || name.find(".ofi") != std::string::npos;
}

PlotJob::PlotJob(JobHost& host, Spooler* spooler, std::string start_folder)
    : host_(host), spooler_(spooler), start_folder_(std::move(start_folder)) {}

bool PlotJob::KeepGoing() {
  host_.ProcessEvents();
  return !host_.AbortRequested();
}

JobSummary PlotJob::Run() {
  summary_ = {};
  if (spooler_ && host_.OutputPrinter().empty()) host_.SetOutputPrinter(spooler_->DefaultPrinter());

  PlotSettings settings;
  std::string error;
  if (!host_.CaptureSettings(settings, error)) {
    host_.AddLog(Reason("設定が正しくありません: " + error));
    summary_.failed = true;
    return summary_;
  }
  WorkFile work_file(start_folder_);
  std::string folder = ResolveFolder(start_folder_, settings.OfiFile);
  std::vector<std::string> names;
  if (!BuildFileList(settings, folder, names)) {
    summary_.failed = true;
    return summary_;
  }
  if (names.empty()) host_.AddLog(texts::kNoDrawings);
  host_.ProcessEvents();
  host_.ShowOfiFolder(folder);

  JobContext job(MakeSnapshot(settings));
  for (const std::string& name : names) {
    if (PlotDrawing(job, folder, name) == Outcome::StopJob) break;
    host_.ProcessEvents();
    if (host_.AbortRequested()) break;
  }
  return summary_;
}

bool PlotJob::BuildFileList(const PlotSettings& s, std::string& folder,
                            std::vector<std::string>& names) {
  if (s.OfiFMen == texts::kManual) {
    if (auto chosen = host_.ChooseFiles(folder)) {
      names = std::move(*chosen);
      return true;
    }
  }
  std::string error;
  auto entries = ListFolder(folder, error);
  if (!entries) {
    host_.AddLog(Reason("ＯＦＩフォルダが開けません: " + folder + " (" + error + ")"));
    return false;
  }
  for (const FolderEntry& e : *entries)
    if (!e.is_folder && e.size != 0 && IsOfiName(e.name)) names.push_back(e.name);
  return true;
}

void PlotJob::LogStopped(const Drawing& d, const std::string& reason) {
  host_.ReplaceLastLog(d.header + texts::kStopped);
  if (!reason.empty()) host_.AddLog(Reason(reason));
  ++summary_.stopped;
}

PlotJob::Outcome PlotJob::PlotDrawing(JobContext& job, const std::string& folder,
                                      const std::string& name) {
  Drawing d{name, JoinPath(folder, name), JoinPath(folder, GlfNameFor(name)), {}};
  std::vector<uint8_t> ofi;
  std::string error;
  if (!ReadWholeFile(d.ofi_path, ofi, error)) {
    d.header = BlankHeaderText();
    host_.AddLog(d.header + texts::kPlotting);
    LogStopped(d, name + " が読めません (" + error + ")");
    return Outcome::Next;
  }
  d.header = HeaderText(ofi);
  host_.AddLog(d.header + texts::kPlotting);
  host_.ProcessEvents();
  if (host_.AbortRequested()) return Outcome::StopJob;

  GlfWriter out;
  if (!out.Open(d.glf_path, error)) {
    LogStopped(d, GlfNameFor(name) + " が作れません (" + error + ")");
    summary_.failed = true;
    return Outcome::StopJob;
  }
  DrawingResult result = TranslateDrawing(job, ofi, out, [this] { return KeepGoing(); });
  bool written = out.Close();
  if (!written || result.end != DrawingEnd::Finished) {
    std::string ignored;
    RemoveFile(d.glf_path, ignored);
  }
  if (!written) {
    LogStopped(d, GlfNameFor(name) + " が書けません (" + out.ErrorText() + ")");
    summary_.failed = true;
    return Outcome::StopJob;
  }
  if (result.end == DrawingEnd::Aborted) {
    LogStopped(d, "");
    return Outcome::StopJob;
  }
  if (result.end == DrawingEnd::Rejected) {
    LogStopped(d, result.reason);
    return Outcome::Next;
  }
  if (result.end == DrawingEnd::Incomplete) {
    LogStopped(d, texts::kIncomplete);
    return Outcome::Next;
  }
  return FinishDrawing(job, d);
}

// Delivery, then the OFI: it goes only once its plot is safe.
PlotJob::Outcome PlotJob::FinishDrawing(const JobContext& job, const Drawing& d) {
  const PlotSettings& s = job.cfg.settings;
  if (glf_observer_) glf_observer_(d.name, d.glf_path);
  std::string error;
  if (s.OfiOut == texts::kToPlotter && spooler_) {
    if (!DeliverGlf(*spooler_, host_.OutputPrinter(), d.glf_path, d.name, error)) {
      LogStopped(d, error);
      summary_.failed = true;
      return Outcome::StopJob;
    }
    RemoveFile(d.glf_path, error);
  }
  host_.ReplaceLastLog(d.header + texts::kFinished);
  ++summary_.finished;
  if (s.OfiFEnd != texts::kKeep && !RemoveFile(d.ofi_path, error))
    host_.AddLog(Reason(d.name + " が消せません (" + error + ")"));
  return Outcome::Next;
}

}  // namespace tovrin
