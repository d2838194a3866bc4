// Opening the history: for writing (created, migrated, proved writable) and
// for looking only (never altered).
#include <sqlite3.h>

#include <thread>

#include "history/history_schema.h"
#include "history/sqlite_history.h"

namespace tovrin {
namespace {

// Another program's transaction is waited for this long in one call; a job
// is short, and one that waits longer is better off trying at its next
// poll.
constexpr std::chrono::milliseconds kBusyBound{2000};

struct Opening {
  std::unique_ptr<sqlite::Connection> db;
  FileIdentity file;
  int64_t version = 0;
  std::string why;
  bool lasting = true;  // trying again cannot help
};

// Records why the opening failed; always false. `passing` when it may be
// another program's opening in the way.
bool Failed(Opening& o, const std::string& why, bool passing = false) {
  o.why = why;
  o.lasting = !passing;
  return false;
}

// WAL lets `--history` read while a poller writes; FULL syncs every commit
// (a job commits in batches, and at once after a delivery), so a power cut
// never forgets a delivery.
bool Configure(sqlite::Connection& db) {
  const std::string context = "setting up the job history";
  sqlite::Statement wal(db, "PRAGMA journal_mode=WAL", context);
  const bool answered = wal.Next() == sqlite::Statement::Step::Row;
  const std::string mode = answered ? wal.Text(0) : std::string();
  if (!wal.Finish()) return false;
  if (mode != "wal")
    return db.Fail(
        context, SQLITE_ERROR,
        ("the database cannot use a write-ahead log (journal mode " + mode + ")").c_str());
  return db.Exec("PRAGMA synchronous=FULL", context);
}

// The folder the history lies in, when there is one.
std::optional<FileIdentity> FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  std::string error;
  return IdentifyFile(slash == std::string::npos ? "." : path.substr(0, slash + 1), error);
}

// Opens the connection and learns which file it holds and its schema.
bool Connect(const std::string& path, int flags, Opening& o) {
  std::string why;
  o.db = sqlite::Connection::Open(path, flags, kBusyBound, why);
  if (!o.db) return Failed(o, why);
  std::optional<FileIdentity> file = IdentifyFile(path, why);
  if (!file) return Failed(o, why);
  o.file = *file;
  return true;
}

// The database is read-only to this user when SQLite fell back to reading
// (the file is another user's, or immutable), and writes fail with
// SQLITE_READONLY when its journal files are another user's.
bool OpenWritable(const std::string& path, Opening& o) {
  std::string ignored;
  const std::optional<FileIdentity> before = IdentifyFile(path, ignored);
  // Created only when there is none: a first run is not a fault.
  const int flags = SQLITE_OPEN_READWRITE | (before ? 0 : SQLITE_OPEN_CREATE);
  // Another program may be creating it: a file still empty may be half made.
  const bool young = (!before || before->size == 0) && FolderOf(path).has_value();
  if (!Connect(path, flags, o)) return Failed(o, o.why, young);
  if (before && !(*before == o.file)) return Failed(o, path + " was replaced while opened", true);
  sqlite::Connection& db = *o.db;
  if (db.ReadOnly()) return Failed(o, NotWritableText(path));
  if (!history_schema::ReadVersion(db, o.version)) return Failed(o, db.Error(), young);
  if (o.version > history_schema::kCurrentVersion)
    return Failed(o, history_schema::NewerText(o.version));
  if (!Configure(db) || !history_schema::Migrate(db) ||
      !history_schema::ReadVersion(db, o.version) ||
      !db.Exec("BEGIN IMMEDIATE; ROLLBACK", "proving the job history writable")) {
    const int primary = db.ErrorCode() & 0xff;
    // Its journal files may be another user's (left by a run as root).
    if (primary == SQLITE_READONLY)
      return Failed(o, NotWritableText(path) + " (" + db.Error() + ")");
    return Failed(o, db.Error(), young);
  }
  return true;
}

}  // namespace

std::unique_ptr<JobHistory> JobHistory::Open(const std::string& path, std::string& error) {
  // Programs starting together may meet while one of them creates the
  // file, and the other then sees an I/O error or a file it cannot open
  // yet; a few tries a little apart get past that.
  constexpr int kTries = 6;
  for (int attempt = 1;; ++attempt) {
    Opening o;
    if (OpenWritable(path, o))
      return std::make_unique<SqliteHistory>(std::move(o.db), path, o.file, o.version, true);
    error = "cannot open the job history " + path + ": " + o.why;
    if (o.lasting || attempt == kTries) return nullptr;
    o.db.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(20 << attempt));
  }
}

// Read-only: SQLite never writes the database file through this connection
// (in WAL mode it may make the shared-memory file beside it).
std::unique_ptr<JobHistory> JobHistory::OpenForReading(const std::string& path,
                                                       std::string& error) {
  Opening o;
  bool ok = Connect(path, SQLITE_OPEN_READONLY, o);
  if (ok && !history_schema::ReadVersion(*o.db, o.version)) ok = Failed(o, o.db->Error());
  if (ok && o.version > history_schema::kCurrentVersion)
    ok = Failed(o, history_schema::NewerText(o.version));
  if (ok && o.version < 0) ok = Failed(o, "a negative schema version");
  if (ok) return std::make_unique<SqliteHistory>(std::move(o.db), path, o.file, o.version, false);
  error = "cannot read the job history " + path + ": " + o.why;
  return nullptr;
}

}  // namespace tovrin
