#include "history/sqlite_db.h"

#include <sqlite3.h>

#include <thread>

namespace tovrin::sqlite {
namespace {

// Short enough that a stop is seen at once, long enough not to spin. The
// first tries come quicker: another program's transaction is mostly short.
constexpr std::chrono::milliseconds kBusyStep{10};
constexpr std::chrono::milliseconds kFirstBusySteps{1};
constexpr int kFirstTries = 20;
// No text of a history row comes near this; a file that holds more is not
// one this program wrote, and is not read into memory whole.
constexpr int kMaxValueBytes = 1 << 20;

bool Configure(sqlite3* db) {
  sqlite3_limit(db, SQLITE_LIMIT_LENGTH, kMaxValueBytes);
  return sqlite3_extended_result_codes(db, 1) == SQLITE_OK;
}

}  // namespace

Connection::Connection(sqlite3* db, std::chrono::milliseconds busy_bound)
    : db_(db), busy_bound_(busy_bound) {}

Connection::~Connection() {
  for (auto& [sql, stmt] : prepared_) sqlite3_finalize(stmt);
  // Every statement is finalized above, so closing cannot be refused.
  sqlite3_close_v2(db_);
}

std::unique_ptr<Connection> Connection::Open(const std::string& path, int flags,
                                             std::chrono::milliseconds busy_bound,
                                             std::string& error) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    error = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    return nullptr;
  }
  if (!Configure(db)) {
    error = std::string("cannot configure the connection: ") + sqlite3_errmsg(db);
    sqlite3_close_v2(db);
    return nullptr;
  }
  std::unique_ptr<Connection> c(new Connection(db, busy_bound));
  if (sqlite3_busy_handler(db, &Connection::OnBusy, c.get()) != SQLITE_OK) {
    error = std::string("cannot set a busy handler: ") + sqlite3_errmsg(db);
    return nullptr;
  }
  return c;
}

void Connection::StartCall() {
  busy_since_.reset();
  busy_end_ = BusyEnd::None;
}

// Waits in small steps while another program writes: at most the bound in
// one call of the history, and not at all once told to stop.
int Connection::OnBusy(void* self, int count) {
  auto* c = static_cast<Connection*>(self);
  const auto now = std::chrono::steady_clock::now();
  if (!c->busy_since_) c->busy_since_ = now;
  if (c->stop_ && c->stop_()) {
    c->busy_end_ = BusyEnd::Stopped;
    return 0;
  }
  const auto waited = now - *c->busy_since_;
  if (waited >= c->busy_bound_) {
    c->busy_end_ = BusyEnd::Bound;
    return 0;
  }
  const std::chrono::milliseconds step = count < kFirstTries ? kFirstBusySteps : kBusyStep;
  std::this_thread::sleep_for(
      std::min<std::chrono::steady_clock::duration>(step, c->busy_bound_ - waited));
  return 1;
}

bool Connection::ReadOnly() const { return sqlite3_db_readonly(db_, "main") == 1; }
bool Connection::InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }
int64_t Connection::LastInsertId() const { return sqlite3_last_insert_rowid(db_); }
int64_t Connection::Changes() const { return sqlite3_changes64(db_); }

bool Connection::Fail(const std::string& context, int code, const char* message) {
  error_code_ = code;
  std::string what = message                                 ? message
                     : sqlite3_extended_errcode(db_) == code ? sqlite3_errmsg(db_)
                                                             : sqlite3_errstr(code);
  const int primary = code & 0xff;
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
    what = std::string(kHeldByAnother) + " (" + what;
    if (busy_end_ == BusyEnd::Stopped) what += "; stopped waiting";
    if (busy_end_ == BusyEnd::Bound)
      what += "; gave up after " + std::to_string(busy_bound_.count()) + " ms";
    what += ")";
  }
  error_ = context + ": " + what;
  return false;
}

bool Connection::Exec(const std::string& sql, const std::string& context) {
  char* message = nullptr;
  const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
  if (rc == SQLITE_OK) return true;
  Fail(context, rc, message);
  sqlite3_free(message);
  return false;
}

bool Connection::QueryInt(const std::string& sql, const std::string& context, int64_t& value) {
  Statement st(*this, sql, context);
  const Statement::Step step = st.Next();
  if (step == Statement::Step::Row) value = st.Int(0);
  if (!st.Finish()) return false;
  return step == Statement::Step::Row || Fail(context, SQLITE_ERROR, "no answer");
}

sqlite3_stmt* Connection::Prepared(const std::string& sql, int& rc) {
  rc = SQLITE_OK;
  auto it = prepared_.find(sql);
  if (it != prepared_.end()) return it->second;
  sqlite3_stmt* stmt = nullptr;
  rc = sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  if (rc != SQLITE_OK || !stmt) {
    sqlite3_finalize(stmt);
    if (rc == SQLITE_OK) rc = SQLITE_MISUSE;  // empty SQL: a mistake of ours
    return nullptr;
  }
  prepared_.emplace(sql, stmt);
  return stmt;
}

Statement::Statement(Connection& db, const std::string& sql, std::string context)
    : db_(db), context_(std::move(context)) {
  int rc = SQLITE_OK;
  stmt_ = db_.Prepared(sql, rc);
  if (!stmt_) Failed(rc);
}

// A statement left without Finish failed already: its reset only repeats
// the error that was recorded.
Statement::~Statement() {
  if (stmt_ && !finished_) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
}

void Statement::Failed(int code) {
  if (!failed_) db_.Fail(context_, code);
  failed_ = true;
}

void Statement::Bind(int index, int64_t value) {
  if (failed_) return;
  const int rc = sqlite3_bind_int64(stmt_, index, value);
  if (rc != SQLITE_OK) Failed(rc);
}

void Statement::Bind(int index, const std::string& value) {
  if (failed_) return;
  const int rc =
      sqlite3_bind_text64(stmt_, index, value.data(), value.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  if (rc != SQLITE_OK) Failed(rc);
}

Statement::Step Statement::Next() {
  if (failed_ || finished_) return Step::Failed;
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return Step::Row;
  if (rc == SQLITE_DONE) return Step::Done;
  Failed(rc);
  return Step::Failed;
}

bool Statement::Run() {
  for (;;) {
    switch (Next()) {
      case Step::Row: continue;  // a PRAGMA may answer; nothing to read
      case Step::Done:
      case Step::Failed: return Finish();  // false after a failure
    }
  }
}

bool Statement::Finish() {
  if (finished_) return !failed_;
  finished_ = true;
  if (!stmt_) return false;
  // After a failed step, reset repeats that step's error: already recorded.
  const int rc = sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);  // cannot fail: it only forgets values
  if (rc != SQLITE_OK) Failed(rc);
  return !failed_;
}

int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::Text(int column) {
  const unsigned char* text = sqlite3_column_text(stmt_, column);
  if (!text) {
    // NULL in a file not written by us reads as empty; no memory is a failure.
    if (sqlite3_column_type(stmt_, column) != SQLITE_NULL) Failed(SQLITE_NOMEM);
    return {};
  }
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

}  // namespace tovrin::sqlite
