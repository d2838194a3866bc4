// The job history: one row per drawing per job, in a SQLite database in the
// start folder. It is also the memory of the repeat mode (a drawing finished
// and left in the folder is not plotted again while it is unchanged) and
// holds the deliveries still waiting for the spooler to report them done.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tovrin {

inline constexpr const char* kHistoryFileName = "Tovrin.db";

// Values of HistoryRow::result.
namespace history_result {
inline constexpr const char* kPlotting = "plotting";  // row written at the drawing's start
inline constexpr const char* kFinished = "finished";  // plotted (kept, or completed by the spooler)
inline constexpr const char* kDelivering = "delivering";  // with the spooler, not yet completed
inline constexpr const char* kAborted = "aborted";
inline constexpr const char* kRejected = "rejected";
inline constexpr const char* kIncomplete = "incomplete";
inline constexpr const char* kFailed = "failed";  // GLF or delivery failed, or the spooler gave up
}  // namespace history_result

// Identity of a drawing file as it lay in the folder.
struct DrawingIdentity {
  std::string folder;  // the OFI folder, as the job resolved it
  std::string name;    // file name without folder
  uint64_t size = 0;
  int64_t mtime_ns = 0;  // modification time, ns since the epoch
  uint64_t inode = 0;
  bool operator==(const DrawingIdentity&) const = default;
};

struct HistoryRow {
  int64_t id = 0;          // set by Add
  int64_t job = 0;         // the job's number (NewJob)
  int64_t started_ms = 0;  // ms since the epoch
  int64_t ended_ms = 0;    // 0 while the drawing runs
  DrawingIdentity drawing;
  std::string header;  // the header text shown in the job log
  uint64_t glf_bytes = 0;
  std::string result;  // history_result::*
  std::string reason;  // why it did not finish, or the spooler's last word
  std::string printer;
  int cups_job_id = 0;
  std::string cups_state;  // the spooler's last known state of that job
};

class JobHistory {
 public:
  // Opens (creating) the database: WAL journal, a busy timeout so several
  // programs may share it. nullptr with `error` set when it cannot.
  static std::unique_ptr<JobHistory> Open(const std::string& path, std::string& error);
  virtual ~JobHistory() = default;

  // A new job number, larger than every one before it.
  virtual int64_t NewJob() = 0;
  // Adds a row; returns its id (0 on failure).
  virtual int64_t Add(const HistoryRow& row) = 0;
  // Rewrites the row with row.id; false on failure.
  virtual bool Update(const HistoryRow& row) = 0;
  // The newest row of this very file (folder, name, size, mtime and inode
  // all equal), if any.
  virtual std::optional<HistoryRow> LastFor(const DrawingIdentity& drawing) = 0;
  // Rows whose result is "delivering", oldest first; all folders when
  // `folder` is empty.
  virtual std::vector<HistoryRow> Delivering(const std::string& folder) = 0;
  // The newest `count` rows, newest last.
  virtual std::vector<HistoryRow> Last(int count) = 0;
  // Why the last call failed (the database's own message).
  virtual std::string LastError() const { return {}; }

  // While held, writes gather in one transaction until Commit: a job's
  // rows cost one commit per batch instead of two per drawing. A program
  // killed meanwhile loses the rows since the last commit, so whatever must
  // not be undone (a delivery, a deleted drawing) waits for a commit.
  // Releasing commits what is gathered.
  virtual void Hold(bool on) { (void)on; }
  // Makes every write so far durable; false (and nothing kept) on failure.
  virtual bool Commit() { return true; }
};

}  // namespace tovrin
