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
#include "job/status_board.h"
#include "platform/drawing_file.h"
#include "platform/folder.h"
#include "platform/plot_mark.h"
#include "platform/spooler.h"

namespace tovrin {

struct JobContext;
class GlfWriter;

struct JobSummary {
  int finished = 0;     // drawings that ended "出図終了"
  int stopped = 0;      // drawings aborted, rejected or failed
  bool failed = false;  // the job itself could not run or was cut short
  std::string folder;   // the OFI folder it looked at
  // A poller: seconds until the first drawing left to settle is due; 0: none.
  double settle_due = 0;
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
  // Tovrin.db in the start folder (creating it on a first run).
  JobHistory* history = nullptr;
  // Where the job shows what it does (folder, listings, drawings waiting
  // and why, results); owned by the caller, may be null.
  StatusBoard* status = nullptr;
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

  // A file of the last job's folder was closed after writing or moved in
  // just now. The next job takes such a drawing at once if it ends with
  // its end marker, without waiting for it to settle. True when the name
  // is one a job would plot, so that a job is worth starting for it.
  bool NoteHot(const std::string& name);

 private:
  struct Drawing;
  struct Candidate;
  enum class Outcome { Next, StopJob };
  enum class Intake { Ready, Skip, Leave };
  enum class Delivery { Waiting, Completed, Ended };

  JobSummary RunJob();

  // The job history (job_history_use.cpp): nothing is plotted or deleted
  // unless it answers.
  bool HistoryReady();
  bool HistoryDown() const { return history_failed_; }
  void OnHistoryFault();
  void ReportHistoryFault(const std::string& error);
  bool Record(Drawing& d, const char* result, const std::string& reason);
  bool SaveRow(HistoryRow& row);
  bool CommitIfDue();
  bool CommitHistory();
  void FinishBatch();
  void FailBatch(const std::string& error);

  // Which drawings, and when (drawing_intake.cpp).
  bool LockFolder(FolderLock& lock, const std::string& folder);
  void CleanFolder(const std::string& folder, std::vector<StampedEntry>& entries);
  void PutAside(const std::string& folder, const StampedEntry& e);
  std::optional<std::vector<Candidate>> ListCandidates(
      const std::optional<std::vector<std::string>>& chosen, const std::string& folder,
      uint64_t& folder_state);
  std::optional<bool> AlreadyHandled(const Candidate& c);
  MarkAccess ReadMark(const Candidate& c, PlotMark& mark);
  std::optional<bool> HandledByMark(const Candidate& c);
  bool LeftToDelete(const Candidate& c, const PlotMark& mark);
  bool FinishedLeftToDelete(const Candidate& c);
  void ReportIdle(uint64_t folder_state);
  Intake OpenSettled(Candidate& c, Drawing& d, DrawingFile& file);
  double SettleLeft(const std::string& name, const FileStamp& stamp);
  void NoteSettleDue(double left);
  void PruneSightings(const std::vector<StampedEntry>& entries);
  Intake Unreadable(const Candidate& c, Drawing& d, const std::string& error, bool refused = false);

  // One drawing to a GLF (plot_job.cpp, glf_output.cpp).
  Outcome PlotDrawing(JobContext& job, Candidate& c);
  void StartRow(Drawing& d, const Candidate& c);
  Outcome TranslateToGlf(JobContext& job, Drawing& d, const DrawingFile& file,
                         const FileStamp& stamp);
  Outcome OpenGlf(Drawing& d, GlfWriter& out);
  void NoteThreads(const std::string& note);
  Outcome PublishGlf(JobContext& job, Drawing& d, uint64_t glf_bytes);
  void LogStopped(Drawing& d, const char* result, const std::string& reason);
  void RemoveStaleGlf(const Drawing& d);
  bool KeepGoing();
  uint64_t MaxDrawingBytes() const;

  // Kept or delivered (delivery_steps.cpp), then tracked until the spooler
  // is done with it (delivery_tracking.cpp).
  Outcome FinishDrawing(const JobContext& job, Drawing& d);
  Outcome DeliverDrawing(Drawing& d);
  bool JobCreated(Drawing& d, const SpoolerJob& job);
  void ResolveInterrupted(const std::string& folder);
  void ResolveSending(HistoryRow& row);
  void SendAgain(HistoryRow& row);
  bool KeepUpWithSpooler(const PlotSettings& s, const std::string& folder);
  void TrackDeliveries(const PlotSettings& s, const std::string& folder);
  bool SettleDeliveries(const PlotSettings& s, const std::string& folder,
                        std::vector<HistoryRow>& waiting);
  Delivery CheckDelivery(HistoryRow& row, const PrintJobStatus& status);
  void DeliveryEnded(HistoryRow& row, const PrintJobStatus& status);
  void RemovePlottedOfi(const HistoryRow& row);
  void ReportWaiting(const HistoryRow& row);

  // The status board (job_status.cpp).
  void Show(const std::function<void(PollerState&)>& change);
  void NoteWaiting(const Candidate& c, const HistoryRow& row);
  void NoteSettling(const Candidate& c);
  void ShowEnded(const HistoryRow& row, const std::string& outcome);
  void ShowQueued(const Drawing& d);
  void ShowListed(const std::string& folder);
  void ShowWaiting(size_t deliveries_waiting);

  // The mark a plotted drawing carries (drawing_marks.cpp).
  void MarkDrawing(const HistoryRow& row);
  void UnmarkDrawing(const HistoryRow& row);
  void NoteMarks(const std::string& error);
  std::optional<bool> AdoptMarked(const Candidate& c, const PlotMark& mark);

  JobHost& host_;
  Spooler* spooler_;
  std::string start_folder_;
  JobOptions options_;
  std::unique_ptr<JobHistory> own_history_;
  JobHistory* history_ = nullptr;
  JobSummary summary_;
  GlfObserver glf_observer_;
  int64_t job_number_ = 0;
  uint64_t max_drawing_bytes_ = 0;   // this job's limit
  double settle_deadline_ = 0;       // one-shot: when waiting for fresh drawings ends
  bool history_failed_ = false;      // this job: the history did not answer
  bool threads_noted_ = false;       // this job: said that a thread could not start
  std::set<std::string> glf_names_;  // GLF names this job's drawings took
  std::set<std::string> glf_kept_;   // GLFs this job finished and kept
  // What waits for the history's next commit: the rows of the drawings
  // finished since (their marks, and the OFIs to delete), the folder whose
  // renames must reach the disk first, and since when rows gather.
  std::vector<HistoryRow> batch_;
  bool delete_finished_ = false;
  std::string folder_to_sync_;
  int rows_held_ = 0;
  double held_since_ = 0;
  // What a poller reports once, not at every poll.
  std::optional<uint64_t> idle_reported_;  // the folder's drawings when "no drawings" was logged
  bool busy_reported_ = false;
  std::string history_fault_;  // the history's fault last said; empty while it works
  std::string marks_note_;     // why drawings cannot carry marks, once said
  std::map<std::string, std::string> mark_faults_;  // drawing → the mark error last said
  std::set<std::string> left_to_delete_;  // finished drawings found left, as name and stamp
  std::map<int64_t, std::string> waiting_reported_;  // history row → the state last said
  std::set<int64_t> held_rows_;              // deliveries whose job waits for someone to act
  std::vector<WaitingDrawing> waiting_now_;  // left in the folder by this job
  size_t deliveries_waiting_ = 0;
  // This job's deliveries the spooler had not ended at the last look, and
  // those sent since; set when the job stopped waiting for the spooler.
  size_t outstanding_ = 0;
  size_t sent_since_look_ = 0;
  bool spooler_behind_ = false;
  bool behind_said_ = false;  // a poller: "the spooler is behind" said, not yet caught up
  // Drawings whose modification time lies ahead of the clock: the settle
  // time runs from when they were first seen as they are.
  struct Sighting {
    FileStamp stamp;
    double since = 0;
  };
  std::map<std::string, Sighting> first_seen_;
  std::set<std::string> hot_;  // closed or moved in since the last job
};

// The OFI folder setting as a job resolves it: relative to the start folder
// when it is relative, the start folder when empty.
std::string ResolveOfiFolder(const std::string& start_folder, const std::string& ofi_folder);

// A drawing's name up to its first ".": the GLF and preview files take it.
std::string DrawingStem(const std::string& ofi_name);

// The GLF name of a drawing: its stem and ".GLF".
std::string GlfNameFor(const std::string& ofi_name);

// True for a name the automatic search takes (".OFI" or ".ofi" anywhere).
bool IsOfiName(const std::string& name);

}  // namespace tovrin
