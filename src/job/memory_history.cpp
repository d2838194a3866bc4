// The job history kept in memory: what a poller remembers when the history
// database cannot be opened.
#include <algorithm>

#include "job/plot_job.h"

namespace tovrin {
namespace {

class MemoryHistory : public JobHistory {
 public:
  int64_t NewJob() override { return ++last_job_; }
  int64_t Add(const HistoryRow& row) override {
    rows_.push_back(row);
    rows_.back().id = static_cast<int64_t>(rows_.size());
    return rows_.back().id;
  }
  bool Update(const HistoryRow& row) override {
    if (row.id < 1 || row.id > static_cast<int64_t>(rows_.size())) return false;
    rows_[row.id - 1] = row;
    return true;
  }
  std::optional<HistoryRow> LastFor(const DrawingIdentity& drawing) override {
    auto it = std::find_if(rows_.rbegin(), rows_.rend(),
                           [&](const HistoryRow& r) { return r.drawing == drawing; });
    if (it == rows_.rend()) return std::nullopt;
    return *it;
  }
  std::vector<HistoryRow> Delivering(const std::string& folder) override {
    std::vector<HistoryRow> rows;
    for (const HistoryRow& r : rows_)
      if (r.result == history_result::kDelivering && (folder.empty() || r.drawing.folder == folder))
        rows.push_back(r);
    return rows;
  }
  std::vector<HistoryRow> Last(int count) override {
    const size_t n = std::min(rows_.size(), static_cast<size_t>(std::max(count, 0)));
    return std::vector<HistoryRow>(rows_.end() - static_cast<std::ptrdiff_t>(n), rows_.end());
  }

 private:
  int64_t last_job_ = 0;
  std::vector<HistoryRow> rows_;
};

}  // namespace

std::unique_ptr<JobHistory> MakeMemoryHistory() { return std::make_unique<MemoryHistory>(); }

}  // namespace tovrin
