#include <sqlite3.h>

#include <algorithm>
#include <chrono>

#include "history/history_schema.h"
#include "history/sqlite_history.h"

namespace tovrin {
namespace {

using sqlite::Statement;
namespace result = history_result;

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Unsigned sizes and inodes keep their bits in SQLite's signed integers.
int64_t Signed(uint64_t v) { return static_cast<int64_t>(v); }
uint64_t Unsigned(int64_t v) { return static_cast<uint64_t>(v); }

std::string Quoted(std::initializer_list<const char*> values) {
  std::string list;
  for (const char* v : values) list += std::string(list.empty() ? "'" : ",'") + v + "'";
  return list;
}

// Binds every column but id, in RowColumns order, from parameter 1.
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
  st.Bind(15, r.cups_job_uuid);
  st.Bind(16, r.cups_job_created);
  st.Bind(17, r.cups_state);
}

HistoryRow ReadRow(Statement& st) {
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
  r.cups_job_uuid = st.Text(15);
  r.cups_job_created = st.Int(16);
  r.cups_state = st.Text(17);
  return r;
}

constexpr const char* kInsert =
    "INSERT INTO drawings(job, started_ms, ended_ms, folder, name, size, mtime_ns, inode,"
    " header, glf_bytes, result, reason, printer, cups_job_id, cups_job_uuid, cups_job_created,"
    " cups_state) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
constexpr const char* kUpdate =
    "UPDATE drawings SET job=?, started_ms=?, ended_ms=?, folder=?, name=?, size=?, mtime_ns=?,"
    " inode=?, header=?, glf_bytes=?, result=?, reason=?, printer=?, cups_job_id=?,"
    " cups_job_uuid=?, cups_job_created=?, cups_state=? WHERE id=?";

}  // namespace

SqliteHistory::SqliteHistory(std::unique_ptr<sqlite::Connection> db, std::string path,
                             FileIdentity file, int64_t version, bool writable)
    : db_(std::move(db)),
      path_(std::move(path)),
      file_(file),
      version_(version),
      writable_(writable) {}

// The path may no longer name the file we hold open: rows written then
// would go into a file nobody reads again.
bool SqliteHistory::CheckFile(const std::string& context) {
  std::string error;
  std::optional<FileIdentity> now = IdentifyFile(path_, error);
  if (!now) return db_->Fail(context, SQLITE_CANTOPEN, error.c_str());
  if (*now != file_) return db_->Fail(context, SQLITE_CANTOPEN, (path_ + " was replaced").c_str());
  return true;
}

bool SqliteHistory::Check() {
  db_->StartCall();
  const std::string context = "checking the job history";
  if (!CheckFile(context)) return false;
  int64_t version = 0, newest = 0;
  if (!db_->QueryInt("PRAGMA user_version", context, version)) return false;
  if (version != version_)
    return db_->Fail(context, SQLITE_SCHEMA,
                     version > version_ ? history_schema::NewerText(version).c_str()
                                        : "its schema was changed by another program");
  if (version_ > 0 && !db_->QueryInt("SELECT max(id) FROM drawings", context, newest)) return false;
  // A held transaction has the write lock already.
  if (!writable_ || db_->InTransaction()) return true;
  return db_->Exec("BEGIN IMMEDIATE", context) && db_->Exec("ROLLBACK", context);
}

// The first write while held opens the batch's transaction.
bool SqliteHistory::StartWrite(const std::string& context) {
  db_->StartCall();
  if (!writable_) return db_->Fail(context, SQLITE_READONLY, "opened for reading only");
  if (held_ && !db_->InTransaction()) return db_->Exec("BEGIN IMMEDIATE", context);
  return true;
}

bool SqliteHistory::EndWrite(bool ok) {
  if (!ok && held_) batch_lost_ = true;
  return ok;
}

bool SqliteHistory::NewJob(int64_t& job) {
  const std::string context = "numbering a new job";
  if (!StartWrite(context)) return EndWrite(false);
  Statement st(*db_, "INSERT INTO jobs(started_ms) VALUES(?)", context);
  st.Bind(1, NowMs());
  if (!st.Run()) return EndWrite(false);
  job = db_->LastInsertId();
  return EndWrite(true);
}

bool SqliteHistory::Add(HistoryRow& row) {
  const std::string context = "adding the history row of " + row.drawing.name;
  if (!StartWrite(context)) return EndWrite(false);
  Statement st(*db_, kInsert, context);
  BindRow(st, row);
  if (!st.Run()) return EndWrite(false);
  row.id = db_->LastInsertId();
  return EndWrite(true);
}

bool SqliteHistory::Update(const HistoryRow& row) {
  const std::string context = "rewriting the history row of " + row.drawing.name;
  if (!StartWrite(context)) return EndWrite(false);
  Statement st(*db_, kUpdate, context);
  BindRow(st, row);
  st.Bind(18, row.id);
  if (!st.Run()) return EndWrite(false);
  if (db_->Changes() == 1) return EndWrite(true);
  db_->Fail(context, SQLITE_NOTFOUND, ("no history row " + std::to_string(row.id)).c_str());
  return EndWrite(false);
}

std::string SqliteHistory::Select(const std::string& rest) const {
  return "SELECT " + history_schema::RowColumns(version_) + " FROM drawings" + rest;
}

bool SqliteHistory::Rows(Statement& st, std::vector<HistoryRow>& rows) {
  rows.clear();
  while (st.Next() == Statement::Step::Row) rows.push_back(ReadRow(st));
  if (st.Finish()) return true;
  rows.clear();
  return false;
}

bool SqliteHistory::Newest(Statement& st, std::optional<HistoryRow>& row) {
  std::vector<HistoryRow> rows;
  row.reset();
  if (!Rows(st, rows)) return false;
  if (!rows.empty()) row = rows.front();
  return true;
}

bool SqliteHistory::LastFor(const DrawingIdentity& d, std::optional<HistoryRow>& row) {
  db_->StartCall();
  row.reset();
  if (version_ == 0) return true;  // a file no program has written to yet
  Statement st(*db_,
               Select(" WHERE folder=? AND name=? AND size=? AND mtime_ns=? AND inode=?"
                      " ORDER BY id DESC LIMIT 1"),
               "reading the history row of " + d.name);
  st.Bind(1, d.folder);
  st.Bind(2, d.name);
  st.Bind(3, Signed(d.size));
  st.Bind(4, d.mtime_ns);
  st.Bind(5, Signed(d.inode));
  return Newest(st, row);
}

bool SqliteHistory::LastNamed(const std::string& folder, const std::string& name,
                              std::optional<HistoryRow>& row) {
  db_->StartCall();
  row.reset();
  if (version_ == 0) return true;
  Statement st(*db_, Select(" WHERE folder=? AND name=? ORDER BY id DESC LIMIT 1"),
               "reading the newest history row named " + name);
  st.Bind(1, folder);
  st.Bind(2, name);
  return Newest(st, row);
}

bool SqliteHistory::Waiting(const std::string& folder, std::vector<HistoryRow>& rows) {
  db_->StartCall();
  rows.clear();
  if (version_ == 0) return true;
  Statement st(*db_,
               Select(" WHERE result IN (" + Quoted({result::kSending, result::kDelivering}) +
                      ") AND (?1='' OR folder=?1) ORDER BY id"),
               "reading the deliveries still waiting");
  st.Bind(1, folder);
  return Rows(st, rows);
}

bool SqliteHistory::Last(int count, RowFilter filter, std::vector<HistoryRow>& rows) {
  db_->StartCall();
  rows.clear();
  if (count <= 0 || version_ == 0) return true;
  std::string where;
  if (filter == RowFilter::Failed)
    where = " WHERE result IN (" +
            Quoted({result::kFailed, result::kLost, result::kRejected, result::kIncomplete,
                    result::kAborted}) +
            ")";
  if (filter == RowFilter::Waiting)
    where = " WHERE result IN (" + Quoted({result::kSending, result::kDelivering}) + ")";
  Statement st(*db_, Select(where + " ORDER BY id DESC LIMIT ?"),
               "reading the last " + std::to_string(count) + " history rows");
  st.Bind(1, count);
  if (!Rows(st, rows)) return false;
  std::reverse(rows.begin(), rows.end());
  return true;
}

bool SqliteHistory::Hold(bool on) {
  const bool ok = on || Commit();
  held_ = on;
  return ok;
}

// A failed commit keeps nothing of the batch: what SQLite did not roll
// back by itself is rolled back here, and the first failure is the one told.
bool SqliteHistory::Commit() {
  db_->StartCall();
  const std::string context = "committing the job history";
  bool ok = !batch_lost_;
  batch_lost_ = false;
  if (!db_->InTransaction()) return ok;
  if (ok && db_->Exec("COMMIT", context)) return true;
  const std::string why = db_->Error();
  const int code = db_->ErrorCode();
  if (db_->InTransaction() && db_->Exec("ROLLBACK", context)) db_->RestoreError(why, code);
  return false;
}

}  // namespace tovrin
