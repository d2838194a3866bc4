#include "glf/write_behind.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/worker_thread.h"

namespace tovrin {

bool WriteAll(int fd, const char* bytes, size_t size, std::string& error) {
  while (size > 0) {
    const ssize_t n = ::write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {  // 0 would never advance
      error = std::strerror(n < 0 ? errno : EIO);
      return false;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::unique_ptr<WriteBehind> WriteBehind::Start(int fd, uint64_t room, std::string& reason) {
  std::unique_ptr<WriteBehind> behind(new WriteBehind(fd, room));
  WriteBehind* const self = behind.get();
  const auto run = [self] { self->Run(); };
  if (!StartWorkerThread(behind->thread_, run, reason)) return nullptr;
  return behind;
}

WriteBehind::~WriteBehind() { Stop(false); }

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
  next.least = 0;
  return next;
}

WriteBehind::Written WriteBehind::Finish() { return Stop(false); }
WriteBehind::Written WriteBehind::Discard() { return Stop(true); }

WriteBehind::Written WriteBehind::Stop(bool drop) {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    dropping_ = dropping_ || drop;
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  return written_;
}

void WriteBehind::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and all written
    // The front stays queued while it is written: Swap counts it in flight,
    // and only adds at the back, which leaves it where it is.
    const Piece& front = queue_.front();
    const bool drop = dropping_;
    lock.unlock();
    Write(front, drop);
    lock.lock();
    spare_.push_back(std::move(queue_.front()));
    queue_.pop_front();
    changed_.notify_all();
  }
}

void WriteBehind::Write(const Piece& piece, bool drop) {
  Written& w = written_;
  if (drop || w.failed || w.withheld) {  // the file is not kept: counted, not formatted
    w.bytes += piece.least;
    return;
  }
  const size_t size =
      WriteMarkedPiece(piece.bytes.get(), piece.size, piece.marks.get(), piece.mark_words, out_);
  w.bytes += size;
  excess_.fetch_add(size > piece.least ? size - piece.least : 0, std::memory_order_relaxed);
  if (w.in_file + size > room_) {
    w.withheld = true;
    return;
  }
  if (!WriteAll(fd_, out_.data.get(), size, w.error)) {
    w.failed = true;
    return;
  }
  w.in_file += size;
}

}  // namespace tovrin
