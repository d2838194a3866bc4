// A job history whose chosen call fails from a chosen moment on, as a real
// one does when its disk fills or another program holds it. The rows live
// in a memory history underneath.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "history/job_history.h"

namespace tovrin::test {

class FailingHistory : public JobHistory {
 public:
  enum class Call { Check, NewJob, Add, Update, LastFor, LastNamed, Waiting, Last, Hold, Commit };

  // `call` answers `after` times, then fails every time.
  void FailFrom(Call call, int after = 0) { fail_after_[call] = after; }
  // How often `call` was made (failed or not).
  int Calls(Call call) const {
    auto it = calls_.find(call);
    return it == calls_.end() ? 0 : it->second;
  }
  JobHistory& rows() { return *rows_; }

  bool Check() override { return Answers(Call::Check) && rows_->Check(); }
  bool NewJob(int64_t& job) override { return Answers(Call::NewJob) && rows_->NewJob(job); }
  bool Add(HistoryRow& row) override { return Answers(Call::Add) && rows_->Add(row); }
  bool Update(const HistoryRow& row) override {
    return Answers(Call::Update) && rows_->Update(row);
  }
  bool LastFor(const DrawingIdentity& d, std::optional<HistoryRow>& row) override {
    return Answers(Call::LastFor) && rows_->LastFor(d, row);
  }
  bool LastNamed(const std::string& folder, const std::string& name,
                 std::optional<HistoryRow>& row) override {
    return Answers(Call::LastNamed) && rows_->LastNamed(folder, name, row);
  }
  bool Waiting(const std::string& folder, std::vector<HistoryRow>& rows) override {
    return Answers(Call::Waiting) && rows_->Waiting(folder, rows);
  }
  bool Last(int count, RowFilter filter, std::vector<HistoryRow>& rows) override {
    return Answers(Call::Last) && rows_->Last(count, filter, rows);
  }
  std::string LastError() const override { return kError; }
  bool Hold(bool on) override { return Answers(Call::Hold) && rows_->Hold(on); }
  bool Commit() override { return Answers(Call::Commit) && rows_->Commit(); }

  static constexpr const char* kError = "disk I/O error (made to fail)";

 private:
  bool Answers(Call call) {
    const int made = calls_[call]++;
    auto it = fail_after_.find(call);
    return it == fail_after_.end() || made < it->second;
  }

  std::unique_ptr<JobHistory> rows_ = MakeMemoryHistory();
  std::map<Call, int> fail_after_;
  std::map<Call, int> calls_;
};

}  // namespace tovrin::test
