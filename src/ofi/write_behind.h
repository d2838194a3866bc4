// Writes a big GLF's filled buffers on a thread of its own, so the digits of
// its numbers and the kernel's copying of the bytes run beside the
// translation instead of inside it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ofi/glf_marks.h"

namespace tovrin {

class WriteBehind {
 public:
  // Plain bytes and the marks between them (see glf_marks.h).
  struct Piece {
    std::unique_ptr<char[]> bytes;
    size_t capacity = 0;
    size_t size = 0;
    std::unique_ptr<uint64_t[]> marks;
    size_t mark_capacity = 0;
    size_t mark_words = 0;
  };

  // Writes to `file`, which nothing else may touch until Finish returns.
  explicit WriteBehind(std::FILE* file);
  ~WriteBehind();
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;

  // Queues `full` and returns an empty piece of the same capacities to fill
  // next; waits while the writer is kInFlight pieces behind. After a failed
  // write the pieces queued are dropped, never half written out of order.
  Piece Swap(Piece full);
  // Waits until every queued piece is written and stops the thread; false,
  // with `error` set, when a write failed. `written`: the bytes written.
  bool Finish(uint64_t& written, std::string& error);

 private:
  static constexpr size_t kInFlight = 2;
  void Run();
  void Write(const Piece& piece);

  std::FILE* const file_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Piece> queue_;
  std::vector<Piece> spare_;
  bool stopping_ = false;
  // Only the writing thread touches these until Finish has joined it.
  ByteBuffer out_;
  uint64_t written_ = 0;
  bool failed_ = false;
  std::string error_;
  std::thread thread_;
};

}  // namespace tovrin
