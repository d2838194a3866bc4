// One plot job: every waiting (or chosen) drawing to a GLF, delivered or kept.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "history/job_history.h"
#include "job/job_host.h"
#include "platform/drawing_file.h"
#include "platform/folder.h"
#include "platform/spooler.h"

namespace tovrin {

struct JobContext;

struct JobSummary {
  int finished = 0;     // drawings that ended "出図終了"
  int stopped = 0;      // drawings aborted, rejected or failed
  bool failed = false;  // the job itself could not run or was cut short
  bool Clean() const { return stopped == 0 && !failed; }
};

struct JobOptions {
  // A drawing is taken only once it has not been modified for this long.
  double settle_seconds = 2;
  // A one-shot job waits at most this long for drawings still being written.
  double settle_wait_seconds = 30;
  // Polling: drawings still being written wait for the next poll, and a
  // drawing that was plotted and left in the folder is not plotted again
  // while it is unchanged.
  bool repeat = false;
  // Larger drawings are left in the folder with a log line; 0: 4 GiB.
  uint64_t max_drawing_bytes = 0;
  // A one-shot job waits this long for the spooler to complete its
  // deliveries; a poller looks again at every poll.
  double wait_delivered_seconds = 120;
  // The history to write, owned by the caller; null: the job opens
  // Tovrin.db in the start folder, and does nothing when it cannot.
  JobHistory* history = nullptr;
};

class PlotJob {
 public:
  // `spooler` may be null: GLFs are then kept whatever the output setting.
  PlotJob(JobHost& host, Spooler* spooler, std::string start_folder, JobOptions options = {});
  ~PlotJob();

  // Runs the whole job (the window's MinP). A PlotJob may run many jobs;
  // it remembers what a poller must not repeat from one to the next.
  JobSummary Run();

  // Called with each finished drawing's OFI name and GLF path just before
  // delivery, while the GLF still exists (previews keep a picture of it).
  using GlfObserver = std::function<void(const std::string& name, const std::string& glf_path)>;
  void SetGlfObserver(GlfObserver observer) { glf_observer_ = std::move(observer); }

 private:
  struct Drawing;
  struct Candidate;
  enum class Outcome { Next, StopJob };
  enum class Intake { Ready, Skip, Leave };

  bool LockFolder(FolderLock& lock, const std::string& folder);
  std::optional<std::vector<Candidate>> ListCandidates(
      const std::optional<std::vector<std::string>>& chosen, const std::string& folder,
      uint64_t& folder_state);
  std::optional<bool> AlreadyHandled(const Candidate& c);
  void ReportIdle(uint64_t folder_state);
  Outcome PlotDrawing(JobContext& job, Candidate& c);
  Intake OpenSettled(Candidate& c, Drawing& d, DrawingFile& file);
  bool IsFresh(const FileStamp& stamp) const;
  Intake Unreadable(const Candidate& c, Drawing& d, const std::string& error, bool refused = false);
  [[nodiscard]] bool StartRow(Drawing& d, const Candidate& c);
  Outcome TranslateToGlf(JobContext& job, Drawing& d, const DrawingFile& file,
                         const FileStamp& stamp);
  Outcome KeepGlf(JobContext& job, Drawing& d, uint64_t glf_bytes);
  Outcome FinishDrawing(const JobContext& job, Drawing& d);
  void LogStopped(Drawing& d, const char* result, const std::string& reason);
  [[nodiscard]] bool Record(Drawing& d, const char* result, const std::string& reason);
  bool KeepGoing();
  uint64_t MaxDrawingBytes() const;
  void TrackDeliveries(const PlotSettings& s, const std::string& folder);
  bool CheckDelivery(const PlotSettings& s, HistoryRow& row);
  void RemovePlottedOfi(const HistoryRow& row);
  void ReportWaiting(const HistoryRow& row);
  [[nodiscard]] bool OpenHistory();
  bool HistoryFailed(const std::string& error);
  bool HistoryFailed() { return HistoryFailed(history_->LastError()); }
  void CommitIfDue();
  [[nodiscard]] bool CommitHistory();

  JobHost& host_;
  Spooler* spooler_;
  std::string start_folder_;
  JobOptions options_;
  std::unique_ptr<JobHistory> own_history_;
  JobHistory* history_ = nullptr;
  JobSummary summary_;
  // A history call failed: nothing more is plotted or deleted this job.
  bool history_failed_ = false;
  GlfObserver glf_observer_;
  int64_t job_number_ = 0;
  uint64_t max_drawing_bytes_ = 0;   // this job's limit
  double settle_deadline_ = 0;       // one-shot: when waiting for fresh drawings ends
  std::set<std::string> glf_names_;  // GLFs this job has written
  // What waits for the history's next commit: drawings to delete, a folder
  // whose renames must reach the disk first, and since when rows gather.
  std::vector<HistoryRow> removals_;
  std::string folder_to_sync_;
  int rows_held_ = 0;
  double held_since_ = 0;
  // What a poller reports once, not at every poll.
  std::optional<uint64_t> idle_reported_;  // the folder's drawings when "no drawings" was logged
  bool busy_reported_ = false;
  std::map<int64_t, std::string> waiting_reported_;  // history row → the state last said
};

// A drawing's name up to its first ".": the GLF and preview files take it.
std::string DrawingStem(const std::string& ofi_name);

// The GLF name of a drawing: its stem and ".GLF".
std::string GlfNameFor(const std::string& ofi_name);

// True for a name the automatic search takes (".OFI" or ".ofi" anywhere).
bool IsOfiName(const std::string& name);

}  // namespace tovrin
