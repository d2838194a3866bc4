// The status page's own look at the job history: a read-only connection of
// its own (never the job's), used by one request at a time, checked before
// each use and opened again when it fails or the file was replaced.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "history/job_history.h"

namespace tovrin::web {

class HistoryReader {
 public:
  explicit HistoryReader(std::string path) : path_(std::move(path)) {}

  enum class Outcome { Read, NoHistory, Failed };
  // Runs `read` on the connection (opened first when needed). NoHistory
  // when there is no database yet (nothing is created); Failed with `error`
  // when it cannot be opened or `read` returned false.
  Outcome Read(const std::function<bool(JobHistory&)>& read, std::string& error);

 private:
  bool Connect(std::string& error);

  const std::string path_;
  std::mutex mutex_;
  std::unique_ptr<JobHistory> history_;
};

}  // namespace tovrin::web
