#include "web/history_reader.h"

#include <sys/stat.h>

#include <cerrno>

namespace tovrin::web {

// A connection whose file was deleted or replaced would go on reading the
// old file: Check compares the file and reads, and a failed one is dropped.
bool HistoryReader::Connect(std::string& error) {
  if (history_ && history_->Check()) return true;
  history_.reset();
  history_ = JobHistory::OpenForReading(path_, error);
  return history_ != nullptr;
}

HistoryReader::Outcome HistoryReader::Read(const std::function<bool(JobHistory&)>& read,
                                           std::string& error) {
  std::lock_guard lock(mutex_);
  struct stat st {};
  if (::lstat(path_.c_str(), &st) != 0 && errno == ENOENT) {
    history_.reset();
    return Outcome::NoHistory;
  }
  if (!Connect(error)) return Outcome::Failed;
  if (read(*history_)) return Outcome::Read;
  error = history_->LastError();
  history_.reset();
  return Outcome::Failed;
}

}  // namespace tovrin::web
