#include "ofi/write_behind.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace tovrin {

WriteBehind::WriteBehind(std::FILE* file) : file_(file), thread_([this] { Run(); }) {}

WriteBehind::~WriteBehind() {
  std::string ignored;
  Finish(ignored);
}

WriteBehind::Buffer WriteBehind::Swap(Buffer full, size_t size) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return queue_.size() < kInFlight; });
  const size_t capacity = full.capacity;
  queue_.push_back({std::move(full), size});
  changed_.notify_all();
  if (spare_.empty()) {
    // One buffer more than can be in flight, made the first times round.
    lock.unlock();
    return {std::unique_ptr<char[]>(new char[capacity]), capacity};
  }
  Buffer next = std::move(spare_.back());
  spare_.pop_back();
  return next;
}

bool WriteBehind::Finish(std::string& error) {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  if (failed_) error = error_;
  return !failed_;
}

void WriteBehind::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and all written
    // The front stays queued while it is written: Swap counts it in flight,
    // and only adds at the back, which leaves it where it is.
    const Queued& front = queue_.front();
    lock.unlock();
    Write(front);
    lock.lock();
    spare_.push_back(std::move(queue_.front().buffer));
    queue_.pop_front();
    changed_.notify_all();
  }
}

// Called without the lock: only this thread touches the file and `failed_`
// until Finish has joined it.
void WriteBehind::Write(const Queued& item) {
  if (failed_) return;
  if (std::fwrite(item.buffer.data.get(), 1, item.size, file_) != item.size) {
    failed_ = true;
    error_ = std::strerror(errno);
  }
}

}  // namespace tovrin
