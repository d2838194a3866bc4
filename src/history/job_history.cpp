#include "history/job_history.h"

#include <sqlite3.h>

#include <chrono>
#include <thread>

namespace tovrin {
namespace {

// Raised when the columns change; a database of a newer program is refused
// rather than written in a form that program does not expect.
constexpr int kSchemaVersion = 1;
// Several programs share the file (a poller writing, `--history` reading):
// a writer waits this long for another one's short transaction.
constexpr int kBusyTimeoutMs = 10000;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS jobs(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  started_ms INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS drawings(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  job INTEGER NOT NULL,
  started_ms INTEGER NOT NULL,
  ended_ms INTEGER NOT NULL,
  folder TEXT NOT NULL,
  name TEXT NOT NULL,
  size INTEGER NOT NULL,
  mtime_ns INTEGER NOT NULL,
  inode INTEGER NOT NULL,
  header TEXT NOT NULL,
  glf_bytes INTEGER NOT NULL,
  result TEXT NOT NULL,
  reason TEXT NOT NULL,
  printer TEXT NOT NULL,
  cups_job_id INTEGER NOT NULL,
  cups_state TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS drawings_by_file ON drawings(folder, name, size, mtime_ns, inode);
CREATE INDEX IF NOT EXISTS drawings_by_result ON drawings(result);
)sql";

constexpr const char* kColumns =
    "id, job, started_ms, ended_ms, folder, name, size, mtime_ns, inode, header, glf_bytes,"
    " result, reason, printer, cups_job_id, cups_state";

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// A statement prepared once per connection: parsing it took longer than
// running it.
class Prepared {
 public:
  Prepared() = default;
  ~Prepared() { sqlite3_finalize(stmt_); }
  Prepared(const Prepared&) = delete;
  Prepared& operator=(const Prepared&) = delete;
  sqlite3_stmt* For(sqlite3* db, const char* sql) {
    if (!stmt_) sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    return stmt_;
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// One run of a statement: prepared for it and finalized, or borrowed from a
// Prepared and reset (its bindings cleared, any read it held let go).
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  Statement(Prepared& prepared, sqlite3* db, const char* sql)
      : stmt_(prepared.For(db, sql)), borrowed_(true) {}
  ~Statement() {
    if (!borrowed_) {
      sqlite3_finalize(stmt_);
    } else if (stmt_) {
      sqlite3_reset(stmt_);
      sqlite3_clear_bindings(stmt_);
    }
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  sqlite3_stmt* get() const { return stmt_; }
  void Bind(int i, int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
  void Bind(int i, const std::string& v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  int Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
  int64_t Int(int col) const { return sqlite3_column_int64(stmt_, col); }
  std::string Text(int col) const {
    const unsigned char* text = sqlite3_column_text(stmt_, col);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<size_t>(sqlite3_column_bytes(stmt_, col)))
                : std::string();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  bool borrowed_ = false;
};

bool Exec(sqlite3* db, const char* sql, std::string& error);

// Unsigned sizes and inodes keep their bits in SQLite's signed integers.
int64_t Signed(uint64_t v) { return static_cast<int64_t>(v); }
uint64_t Unsigned(int64_t v) { return static_cast<uint64_t>(v); }

// Binds every column but id, in kColumns order, from parameter 1.
void BindRow(Statement& st, const HistoryRow& r) {
  st.Bind(1, r.job);
  st.Bind(2, r.started_ms);
  st.Bind(3, r.ended_ms);
  st.Bind(4, r.drawing.folder);
  st.Bind(5, r.drawing.name);
  st.Bind(6, Signed(r.drawing.size));
  st.Bind(7, r.drawing.mtime_ns);
  st.Bind(8, Signed(r.drawing.inode));
  st.Bind(9, r.header);
  st.Bind(10, Signed(r.glf_bytes));
  st.Bind(11, r.result);
  st.Bind(12, r.reason);
  st.Bind(13, r.printer);
  st.Bind(14, static_cast<int64_t>(r.cups_job_id));
  st.Bind(15, r.cups_state);
}

HistoryRow ReadRow(const Statement& st) {
  HistoryRow r;
  r.id = st.Int(0);
  r.job = st.Int(1);
  r.started_ms = st.Int(2);
  r.ended_ms = st.Int(3);
  r.drawing.folder = st.Text(4);
  r.drawing.name = st.Text(5);
  r.drawing.size = Unsigned(st.Int(6));
  r.drawing.mtime_ns = st.Int(7);
  r.drawing.inode = Unsigned(st.Int(8));
  r.header = st.Text(9);
  r.glf_bytes = Unsigned(st.Int(10));
  r.result = st.Text(11);
  r.reason = st.Text(12);
  r.printer = st.Text(13);
  r.cups_job_id = static_cast<int>(st.Int(14));
  r.cups_state = st.Text(15);
  return r;
}

class SqliteHistory : public JobHistory {
 public:
  explicit SqliteHistory(sqlite3* db) : db_(db) {}
  ~SqliteHistory() override { sqlite3_close_v2(db_); }
  SqliteHistory(const SqliteHistory&) = delete;
  SqliteHistory& operator=(const SqliteHistory&) = delete;

  int64_t NewJob() override {
    BeginHeld();
    Statement st(new_job_, db_, "INSERT INTO jobs(started_ms) VALUES(?)");
    st.Bind(1, NowMs());
    return Done(st) ? sqlite3_last_insert_rowid(db_) : 0;
  }

  int64_t Add(const HistoryRow& row) override {
    BeginHeld();
    Statement st(add_, db_,
                 "INSERT INTO drawings(job, started_ms, ended_ms, folder, name, size, mtime_ns,"
                 " inode, header, glf_bytes, result, reason, printer, cups_job_id, cups_state)"
                 " VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    BindRow(st, row);
    return Done(st) ? sqlite3_last_insert_rowid(db_) : 0;
  }

  bool Update(const HistoryRow& row) override {
    BeginHeld();
    Statement st(update_, db_,
                 "UPDATE drawings SET job=?, started_ms=?, ended_ms=?, folder=?, name=?, size=?,"
                 " mtime_ns=?, inode=?, header=?, glf_bytes=?, result=?, reason=?, printer=?,"
                 " cups_job_id=?, cups_state=? WHERE id=?");
    BindRow(st, row);
    st.Bind(16, row.id);
    if (!Done(st)) return false;
    if (sqlite3_changes(db_) == 1) return true;
    error_ = "no history row " + std::to_string(row.id);
    return false;
  }

  std::optional<HistoryRow> LastFor(const DrawingIdentity& d) override {
    Statement st(last_for_, db_,
                 Select(" WHERE folder=? AND name=? AND size=? AND mtime_ns=? AND inode=?"
                        " ORDER BY id DESC LIMIT 1")
                     .c_str());
    st.Bind(1, d.folder);
    st.Bind(2, d.name);
    st.Bind(3, Signed(d.size));
    st.Bind(4, d.mtime_ns);
    st.Bind(5, Signed(d.inode));
    std::vector<HistoryRow> rows = Rows(st);
    if (rows.empty()) return std::nullopt;
    return rows.front();
  }

  std::vector<HistoryRow> Delivering(const std::string& folder) override {
    Statement st(db_, Select(" WHERE result=? AND (?='' OR folder=?) ORDER BY id").c_str());
    st.Bind(1, std::string(history_result::kDelivering));
    st.Bind(2, folder);
    st.Bind(3, folder);
    return Rows(st);
  }

  std::vector<HistoryRow> Last(int count) override {
    if (count <= 0) return {};
    Statement st(db_, Select(" ORDER BY id DESC LIMIT ?").c_str());
    st.Bind(1, count);
    std::vector<HistoryRow> rows = Rows(st);
    return {rows.rbegin(), rows.rend()};
  }

  std::string LastError() const override { return error_; }

  void Hold(bool on) override {
    if (!on) Commit();
    held_ = on;
  }

  bool Commit() override {
    if (sqlite3_get_autocommit(db_)) return true;
    if (Exec(db_, "COMMIT", error_)) return true;
    std::string ignored;
    Exec(db_, "ROLLBACK", ignored);
    return false;
  }

 private:
  // The first write while held opens the batch's transaction; one that
  // cannot be opened leaves each write a transaction of its own.
  void BeginHeld() {
    std::string ignored;
    if (held_ && sqlite3_get_autocommit(db_)) Exec(db_, "BEGIN IMMEDIATE", ignored);
  }

  static std::string Select(const char* rest) {
    return std::string("SELECT ") + kColumns + " FROM drawings" + rest;
  }

  // Runs a statement that returns no rows.
  bool Done(Statement& st) {
    if (st.Step() == SQLITE_DONE) return true;
    error_ = sqlite3_errmsg(db_);
    return false;
  }

  std::vector<HistoryRow> Rows(Statement& st) {
    std::vector<HistoryRow> rows;
    int rc;
    while ((rc = st.Step()) == SQLITE_ROW) rows.push_back(ReadRow(st));
    if (rc != SQLITE_DONE) error_ = sqlite3_errmsg(db_);
    return rows;
  }

  sqlite3* db_;
  std::string error_;
  bool held_ = false;
  Prepared new_job_, add_, update_, last_for_;
};

bool Exec(sqlite3* db, const char* sql, std::string& error) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  error = message ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  return false;
}

int UserVersion(sqlite3* db) {
  Statement st(db, "PRAGMA user_version");
  return st.Step() == SQLITE_ROW ? static_cast<int>(st.Int(0)) : -1;
}

// WAL lets `--history` read while a poller writes; FULL syncs every commit
// (a job commits in batches, and at once after a delivery), so a power cut
// never forgets a delivery.
bool Configure(sqlite3* db, std::string& error) {
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  sqlite3_extended_result_codes(db, 1);
  Statement wal(db, "PRAGMA journal_mode=WAL");
  if (wal.Step() != SQLITE_ROW) {
    error = sqlite3_errmsg(db);
    return false;
  }
  if (wal.Text(0) != "wal") {
    error = "the database cannot use a write-ahead log (journal mode " + wal.Text(0) + ")";
    return false;
  }
  return Exec(db, "PRAGMA synchronous=FULL", error);
}

// Creates the tables once; two programs starting together both may try, the
// immediate transaction lets only one write them.
bool CreateSchema(sqlite3* db, std::string& error, bool& lasting) {
  int version = UserVersion(db);
  if (version < 0) {
    error = sqlite3_errmsg(db);
    return false;
  }
  if (version == kSchemaVersion) return true;
  if (version > kSchemaVersion) {
    lasting = true;
    error = "written by a newer program (schema " + std::to_string(version) + ")";
    return false;
  }
  if (!Exec(db, "BEGIN IMMEDIATE", error)) return false;
  bool ok = Exec(db, kSchema, error) &&
            Exec(db, ("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str(), error);
  ok = Exec(db, ok ? "COMMIT" : "ROLLBACK", error) && ok;
  return ok;
}

// One try at opening; `lasting` when trying again cannot help (a database
// of a newer program).
std::unique_ptr<JobHistory> OpenOnce(const std::string& path, std::string& error, bool& lasting) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(
      path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  std::string why;
  if (rc != SQLITE_OK) {
    why = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  } else if (Configure(db, why) && CreateSchema(db, why, lasting)) {
    return std::make_unique<SqliteHistory>(db);
  }
  sqlite3_close_v2(db);
  error = "cannot open the job history " + path + ": " + why;
  return nullptr;
}

}  // namespace

std::unique_ptr<JobHistory> JobHistory::Open(const std::string& path, std::string& error) {
  // Programs starting together may meet while one of them creates the
  // file, and the other then sees an I/O error or a file it cannot open
  // yet; a few tries a little apart get past that.
  constexpr int kTries = 6;
  for (int attempt = 1;; ++attempt) {
    bool lasting = false;
    if (auto history = OpenOnce(path, error, lasting)) return history;
    if (lasting || attempt == kTries) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(20 << attempt));
  }
}

}  // namespace tovrin
