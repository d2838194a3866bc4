// A thin layer over SQLite in which no result goes unchecked: every failure
// of a prepare, bind, step or reset becomes the connection's error, with
// what was being done ("reading the history row of A.OFI: database disk
// image is malformed").
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace tovrin::sqlite {

// What every message about a database that another program keeps locked
// says, whatever the call was doing.
inline constexpr const char* kHeldByAnother = "another program holds the job history";

class Connection {
 public:
  // `flags` are SQLITE_OPEN_* flags. A call waits at most `busy_bound` for
  // another program's transaction, in small steps.
  static std::unique_ptr<Connection> Open(const std::string& path, int flags,
                                          std::chrono::milliseconds busy_bound, std::string& error);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // A call that waits gives up at once when `stop` returns true.
  void SetStopCheck(std::function<bool()> stop) { stop_ = std::move(stop); }
  // A new call of the history: its busy wait starts again from nothing.
  void StartCall();

  bool ReadOnly() const;
  bool InTransaction() const;
  int64_t LastInsertId() const;
  int64_t Changes() const;

  // Runs SQL that returns no rows (one statement or several).
  [[nodiscard]] bool Exec(const std::string& sql, const std::string& context);
  // The first column of the first row of `sql` as an integer.
  [[nodiscard]] bool QueryInt(const std::string& sql, const std::string& context, int64_t& value);

  // Records a failure of `code` while doing `context`; always false.
  bool Fail(const std::string& context, int code, const char* message = nullptr);
  const std::string& Error() const { return error_; }
  // Puts back a failure recorded before (a rollback after it succeeded).
  void RestoreError(std::string error, int code) {
    error_ = std::move(error);
    error_code_ = code;
  }
  // The extended result code of the last failure recorded.
  int ErrorCode() const { return error_code_; }

  // A statement prepared once and kept for the connection's life.
  sqlite3_stmt* Prepared(const std::string& sql, int& rc);

 private:
  Connection(sqlite3* db, std::chrono::milliseconds busy_bound);
  static int OnBusy(void* self, int count);

  enum class BusyEnd { None, Bound, Stopped };
  sqlite3* db_;
  std::chrono::milliseconds busy_bound_;
  std::function<bool()> stop_;
  std::optional<std::chrono::steady_clock::time_point> busy_since_;
  BusyEnd busy_end_ = BusyEnd::None;
  std::string error_;
  int error_code_ = 0;
  std::map<std::string, sqlite3_stmt*> prepared_;
};

// One run of a prepared statement. A failure anywhere (prepare, a bind, a
// step, reading a column) is recorded on the connection and makes every
// later step fail, so a caller checks Next and Finish only.
class Statement {
 public:
  Statement(Connection& db, const std::string& sql, std::string context);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void Bind(int index, int64_t value);
  void Bind(int index, const std::string& value);

  enum class Step { Row, Done, Failed };
  Step Next();
  // Steps through to the end of a statement that returns no rows.
  [[nodiscard]] bool Run();
  // Lets go of the statement (and of the read it holds); false when it or
  // anything before it failed.
  [[nodiscard]] bool Finish();

  int64_t Int(int column) const;
  std::string Text(int column);

 private:
  void Failed(int code);

  Connection& db_;
  std::string context_;
  sqlite3_stmt* stmt_ = nullptr;
  bool failed_ = false;
  bool finished_ = false;
};

}  // namespace tovrin::sqlite
