// One plot job: every waiting (or chosen) drawing to a GLF, delivered or kept.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "job/job_host.h"
#include "platform/spooler.h"

namespace tovrin {

struct JobContext;

struct JobSummary {
  int finished = 0;  // drawings that ended "出図終了"
  int stopped = 0;   // drawings aborted, rejected or failed
  bool failed = false;  // the job itself could not run or was cut short
  bool Clean() const { return stopped == 0 && !failed; }
};

class PlotJob {
 public:
  // `spooler` may be null: GLFs are then kept whatever the output setting.
  PlotJob(JobHost& host, Spooler* spooler, std::string start_folder);

  // Runs the whole job (the window's MinP).
  JobSummary Run();

  // Called with each finished drawing's OFI name and GLF path just before
  // delivery, while the GLF still exists (previews keep a picture of it).
  using GlfObserver = std::function<void(const std::string& name, const std::string& glf_path)>;
  void SetGlfObserver(GlfObserver observer) { glf_observer_ = std::move(observer); }

 private:
  struct Drawing;
  enum class Outcome { Next, StopJob };

  bool BuildFileList(const PlotSettings& s, std::string& folder, std::vector<std::string>& names);
  Outcome PlotDrawing(JobContext& job, const std::string& folder, const std::string& name);
  Outcome FinishDrawing(const JobContext& job, const Drawing& d);
  void LogStopped(const Drawing& d, const std::string& reason);
  bool KeepGoing();

  JobHost& host_;
  Spooler* spooler_;
  std::string start_folder_;
  JobSummary summary_;
  GlfObserver glf_observer_;
};

// The GLF name of a drawing: its name up to the first "." and ".GLF".
std::string GlfNameFor(const std::string& ofi_name);

// True for a name the automatic search takes (".OFI" or ".ofi" anywhere).
bool IsOfiName(const std::string& name);

}  // namespace tovrin
