// The job history in its SQLite database (opened in history_open.cpp).
#pragma once

#include <memory>
#include <string>

#include "history/history_file.h"
#include "history/job_history.h"
#include "history/sqlite_db.h"

namespace tovrin {

class SqliteHistory : public JobHistory {
 public:
  // `version` is the schema the file has; `writable` false for a history
  // opened for reading, whose every write is refused.
  SqliteHistory(std::unique_ptr<sqlite::Connection> db, std::string path, FileIdentity file,
                int64_t version, bool writable);

  void SetStopCheck(std::function<bool()> stop) override { db_->SetStopCheck(std::move(stop)); }
  bool Check() override;
  bool NewJob(int64_t& job) override;
  bool Add(HistoryRow& row) override;
  bool Update(const HistoryRow& row) override;
  bool LastFor(const DrawingIdentity& drawing, std::optional<HistoryRow>& row) override;
  bool LastNamed(const std::string& folder, const std::string& name,
                 std::optional<HistoryRow>& row) override;
  bool Waiting(const std::string& folder, std::vector<HistoryRow>& rows) override;
  bool Last(int count, RowFilter filter, std::vector<HistoryRow>& rows) override;
  std::string LastError() const override { return db_->Error(); }
  bool Hold(bool on) override;
  bool Commit() override;

 private:
  bool CheckFile(const std::string& context);
  bool StartWrite(const std::string& context);
  bool EndWrite(bool ok);
  std::string Select(const std::string& rest) const;
  bool Rows(sqlite::Statement& st, std::vector<HistoryRow>& rows);
  bool Newest(sqlite::Statement& st, std::optional<HistoryRow>& row);

  std::unique_ptr<sqlite::Connection> db_;
  std::string path_;
  FileIdentity file_;
  int64_t version_;
  bool writable_;
  bool held_ = false;
  // A write of the held batch failed: the batch is not kept, and Commit
  // says so once.
  bool batch_lost_ = false;
};

}  // namespace tovrin
