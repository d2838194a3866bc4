// What the status page, the JSON and the metrics show: the poller's state
// from its status board and the newest rows of the job history, gathered at
// most once a second however many clients ask.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "history/job_history.h"
#include "job/status_board.h"
#include "web/history_reader.h"

namespace tovrin::web {

inline constexpr int kPageRows = 200;
// A folder may hold thousands of drawings that wait: the page shows this many.
inline constexpr size_t kMaxWaitingShown = 500;

// A drawing that waits, from the poller's last listing or from the history
// (deliveries not finished, lost deliveries).
struct WaitingEntry {
  std::string name;
  std::string why;  // WhyCode: "settling", "incomplete", "with_spooler", "held", "lost", …
  std::string detail;
  bool from_history = false;
};

struct ShownRow {
  HistoryRow row;
  std::string preview_url;  // empty when the preview folder has no picture of it
};

struct StatusView {
  double generated = 0;  // wall seconds
  PollerState poller;
  HistoryReader::Outcome history = HistoryReader::Outcome::NoHistory;
  std::string history_error;
  std::vector<ShownRow> rows;  // newest first
  std::vector<WaitingEntry> waiting;
  size_t waiting_left_off = 0;  // past kMaxWaitingShown
  // Picture names ("NAME.png") of the drawings listed: the only files served.
  std::set<std::string> pictures;
};

// Rows of /api/history, newest first.
struct HistoryRead {
  HistoryReader::Outcome outcome = HistoryReader::Outcome::NoHistory;
  std::string error;
  std::vector<HistoryRow> rows;
};

class StatusSource {
 public:
  StatusSource(const StatusBoard& board, std::string history_path,
               std::optional<std::string> preview_folder);

  // The view, gathered again when the last one is older than a second.
  std::shared_ptr<const StatusView> View();
  // The newest `count` rows passing `filter`, read again when older than a second.
  std::shared_ptr<const HistoryRead> Rows(int count, RowFilter filter);
  HistoryReader& History() { return history_; }
  const std::optional<std::string>& PreviewFolder() const { return preview_folder_; }

 private:
  std::shared_ptr<const StatusView> Build();
  void ReadHistory(StatusView& view);
  void FindPictures(StatusView& view) const;

  const StatusBoard& board_;
  HistoryReader history_;
  const std::optional<std::string> preview_folder_;
  std::mutex mutex_;
  std::shared_ptr<const StatusView> view_;
  std::chrono::steady_clock::time_point built_;
  struct KeptRows {
    std::shared_ptr<const HistoryRead> read;
    std::chrono::steady_clock::time_point at;
  };
  std::map<std::pair<int, RowFilter>, KeptRows> rows_;
};

// "settling", "incomplete", "with_spooler", "held", "lost", "failed".
const char* WhyCode(WaitingDrawing::Why why);

}  // namespace tovrin::web
