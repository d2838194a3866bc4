// The job history: one row per drawing per job, in a SQLite database in the
// start folder. It is also the memory of the repeat mode (a drawing finished
// and left in the folder is not plotted again while it is unchanged) and
// holds the deliveries still waiting for the spooler to report them done.
//
// Every call says whether the database answered. A job that plots or
// deletes drawings relies on the answer, so a failure of any kind (busy
// past a short bound, read-only, corrupt, an I/O error, a full disk, the
// file deleted or replaced) is reported as a failure and never read as "no
// row" or "done".
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tovrin {

inline constexpr const char* kHistoryFileName = "Tovrin.db";

// Values of HistoryRow::result.
namespace history_result {
// Written by older programs at a drawing's start.
inline constexpr const char* kPlotting = "plotting";
inline constexpr const char* kFinished = "finished";  // plotted (kept, or completed by the spooler)
// Committed before the spooler's job is created; the job's id and uuid are
// added as soon as it exists, before its document is sent.
inline constexpr const char* kSending = "sending";
inline constexpr const char* kDelivering = "delivering";  // the spooler has the whole document
inline constexpr const char* kAborted = "aborted";
inline constexpr const char* kRejected = "rejected";
inline constexpr const char* kIncomplete = "incomplete";
inline constexpr const char* kFailed = "failed";  // GLF or delivery failed, or the spooler gave up
// The spooler no longer knows the job we created (another job under its id,
// or none): the drawing is kept and not plotted again by itself.
inline constexpr const char* kLost = "lost";
// Made plottable again by the operator (tovrin-batch --release).
inline constexpr const char* kReleased = "released";
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
  // The spooler's job as it was created: its id, and what tells it from
  // another job under the same id (a spooler that lost its state starts
  // its ids again). The job's name is the drawing's file name.
  int cups_job_id = 0;
  std::string cups_job_uuid;     // "urn:uuid:…"; empty for rows of older programs
  int64_t cups_job_created = 0;  // the spooler's time-at-creation, s since the epoch
  std::string cups_state;        // the spooler's last known state of that job
};

// Which rows Last returns.
enum class RowFilter {
  All,
  // Drawings that did not end plotted: failed, lost, rejected, incomplete, aborted.
  Failed,
  // Deliveries the spooler has not finished: sending, delivering.
  Waiting,
};

class JobHistory {
 public:
  // Opens (creating when there is no file yet) the database: WAL journal,
  // the schema migrated to the current version, and a check that it can be
  // written. nullptr with `error` set when it cannot be opened, read,
  // migrated or written, or was written by a newer program (never altered
  // then).
  static std::unique_ptr<JobHistory> Open(const std::string& path, std::string& error);
  // For looking only (--history, the status page): never creates, migrates
  // or writes the file. nullptr with `error` set when it cannot be read.
  static std::unique_ptr<JobHistory> OpenForReading(const std::string& path, std::string& error);
  virtual ~JobHistory() = default;

  // A waiting call (the database busy with another program) gives up at
  // once when `stop` returns true: a program told to stop does not wait.
  virtual void SetStopCheck(std::function<bool()> stop) { (void)stop; }

  // True when the history can be relied on now: its file is still the one
  // opened (not deleted or replaced), it can be read and a write
  // transaction can be had within the busy bound. A job checks it before
  // it plots anything.
  [[nodiscard]] virtual bool Check() = 0;

  // A new job number, larger than every one before it.
  [[nodiscard]] virtual bool NewJob(int64_t& job) = 0;
  // Adds a row and sets its id.
  [[nodiscard]] virtual bool Add(HistoryRow& row) = 0;
  // Rewrites the row with row.id (a row that is not there is a failure).
  [[nodiscard]] virtual bool Update(const HistoryRow& row) = 0;
  // The newest row of this very file (folder, name, size, mtime and inode
  // all equal); `row` empty when there is none.
  [[nodiscard]] virtual bool LastFor(const DrawingIdentity& drawing,
                                     std::optional<HistoryRow>& row) = 0;
  // The newest row of a file by folder and name, whatever its stamp.
  [[nodiscard]] virtual bool LastNamed(const std::string& folder, const std::string& name,
                                       std::optional<HistoryRow>& row) = 0;
  // Rows whose result is "sending" or "delivering", oldest first; all
  // folders when `folder` is empty.
  [[nodiscard]] virtual bool Waiting(const std::string& folder, std::vector<HistoryRow>& rows) = 0;
  // The newest `count` rows that pass `filter`, newest last.
  [[nodiscard]] virtual bool Last(int count, RowFilter filter, std::vector<HistoryRow>& rows) = 0;
  // Why the last call failed: what it was doing and the database's message.
  virtual std::string LastError() const = 0;

  // While held, writes gather in one transaction until Commit: a job's
  // rows cost one commit per batch instead of two per drawing. A program
  // killed meanwhile loses the rows since the last commit, so whatever must
  // not be undone (a delivery, a deleted drawing) waits for a commit.
  // Releasing commits what is gathered (false when that failed).
  [[nodiscard]] virtual bool Hold(bool on) {
    (void)on;
    return true;
  }
  // Makes every write so far durable; false (and nothing kept since the
  // last commit) on failure.
  [[nodiscard]] virtual bool Commit() { return true; }
};

// A history that lives in memory only: for tests, and for programs that
// must not touch a database.
std::unique_ptr<JobHistory> MakeMemoryHistory();

}  // namespace tovrin
