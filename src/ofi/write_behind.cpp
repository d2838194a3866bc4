#include "ofi/write_behind.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace tovrin {

WriteBehind::WriteBehind(std::FILE* file) : file_(file), thread_([this] { Run(); }) {}

WriteBehind::~WriteBehind() {
  uint64_t written = 0;
  std::string ignored;
  Finish(written, ignored);
}

WriteBehind::Piece WriteBehind::Swap(Piece full) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return queue_.size() < kInFlight; });
  const size_t capacity = full.capacity, mark_capacity = full.mark_capacity;
  queue_.push_back(std::move(full));
  changed_.notify_all();
  if (spare_.empty()) {
    // One piece more than can be in flight, made the first times round.
    lock.unlock();
    Piece next;
    next.bytes.reset(new char[capacity]);
    next.capacity = capacity;
    next.marks.reset(new uint64_t[mark_capacity]);
    next.mark_capacity = mark_capacity;
    return next;
  }
  Piece next = std::move(spare_.back());
  spare_.pop_back();
  next.size = next.mark_words = 0;
  return next;
}

bool WriteBehind::Finish(uint64_t& written, std::string& error) {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  written = written_;
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
    const Piece& front = queue_.front();
    lock.unlock();
    Write(front);
    lock.lock();
    spare_.push_back(std::move(queue_.front()));
    queue_.pop_front();
    changed_.notify_all();
  }
}

void WriteBehind::Write(const Piece& piece) {
  if (failed_) return;
  const size_t size =
      WriteMarkedPiece(piece.bytes.get(), piece.size, piece.marks.get(), piece.mark_words, out_);
  if (std::fwrite(out_.data.get(), 1, size, file_) != size) {
    failed_ = true;
    error_ = std::strerror(errno);
    return;
  }
  written_ += size;
}

}  // namespace tovrin
