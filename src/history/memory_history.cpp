// The job history kept in memory: for tests, and programs that must not
// touch a database. Every call answers.
#include <algorithm>

#include "history/job_history.h"

namespace tovrin {
namespace {

namespace result = history_result;

bool IsWaiting(const HistoryRow& r) {
  return r.result == result::kSending || r.result == result::kDelivering;
}

bool IsFailed(const HistoryRow& r) {
  for (const char* failed :
       {result::kFailed, result::kLost, result::kRejected, result::kIncomplete, result::kAborted})
    if (r.result == failed) return true;
  return false;
}

bool Passes(const HistoryRow& r, RowFilter filter) {
  switch (filter) {
    case RowFilter::All: return true;
    case RowFilter::Failed: return IsFailed(r);
    case RowFilter::Waiting: return IsWaiting(r);
  }
  return false;
}

class MemoryHistory : public JobHistory {
 public:
  bool Check() override { return true; }
  bool NewJob(int64_t& job) override {
    job = ++last_job_;
    return true;
  }
  bool Add(HistoryRow& row) override {
    row.id = static_cast<int64_t>(rows_.size()) + 1;
    rows_.push_back(row);
    return true;
  }
  bool Update(const HistoryRow& row) override {
    if (row.id < 1 || row.id > static_cast<int64_t>(rows_.size())) {
      error_ = "no history row " + std::to_string(row.id);
      return false;
    }
    rows_[static_cast<size_t>(row.id - 1)] = row;
    return true;
  }
  bool LastFor(const DrawingIdentity& drawing, std::optional<HistoryRow>& row) override {
    return Newest([&](const HistoryRow& r) { return r.drawing == drawing; }, row);
  }
  bool LastNamed(const std::string& folder, const std::string& name,
                 std::optional<HistoryRow>& row) override {
    return Newest(
        [&](const HistoryRow& r) { return r.drawing.folder == folder && r.drawing.name == name; },
        row);
  }
  bool Waiting(const std::string& folder, std::vector<HistoryRow>& rows) override {
    rows.clear();
    for (const HistoryRow& r : rows_)
      if (IsWaiting(r) && (folder.empty() || r.drawing.folder == folder)) rows.push_back(r);
    return true;
  }
  bool Last(int count, RowFilter filter, std::vector<HistoryRow>& rows) override {
    rows.clear();
    for (auto it = rows_.rbegin(); it != rows_.rend() && static_cast<int>(rows.size()) < count;
         ++it)
      if (Passes(*it, filter)) rows.push_back(*it);
    std::reverse(rows.begin(), rows.end());
    return true;
  }
  std::string LastError() const override { return error_; }

 private:
  template <typename Match>
  bool Newest(Match match, std::optional<HistoryRow>& row) {
    row.reset();
    auto it = std::find_if(rows_.rbegin(), rows_.rend(), match);
    if (it != rows_.rend()) row = *it;
    return true;
  }

  int64_t last_job_ = 0;
  std::vector<HistoryRow> rows_;
  std::string error_;
};

}  // namespace

std::unique_ptr<JobHistory> MakeMemoryHistory() { return std::make_unique<MemoryHistory>(); }

}  // namespace tovrin
