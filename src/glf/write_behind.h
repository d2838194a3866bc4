// Writes a big GLF's filled buffers on a thread of its own, so the digits of
// its numbers and the kernel's copying of the bytes run beside the
// translation instead of inside it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "glf/glf_marks.h"

namespace tovrin {

// Writes all `size` bytes to `fd`, on through short writes and interrupts;
// false with `error` set when the file takes no more.
bool WriteAll(int fd, const char* bytes, size_t size, std::string& error);

class WriteBehind {
 public:
  // Plain bytes and the marks between them (see glf_marks.h), and the
  // fewest bytes they can come to.
  struct Piece {
    std::unique_ptr<char[]> bytes;
    size_t capacity = 0;
    size_t size = 0;
    std::unique_ptr<uint64_t[]> marks;
    size_t mark_capacity = 0;
    size_t mark_words = 0;
    uint64_t least = 0;
  };
  // What Finish tells: the pieces' bytes (exact, but the fewest they can
  // come to for those neither written nor withheld), those in the file,
  // whether one was withheld for passing `room`, and a failed write.
  struct Written {
    uint64_t bytes = 0;
    uint64_t in_file = 0;
    bool withheld = false;
    bool failed = false;
    std::string error;
  };

  // Starts the thread writing to `fd`, which nothing else may touch until
  // Finish returns. Once the file would hold more than `room` bytes, no
  // piece more goes into it (the GLF is refused anyway). Null, with
  // `reason` set, when no thread can be started.
  static std::unique_ptr<WriteBehind> Start(int fd, uint64_t room, std::string& reason);
  ~WriteBehind();
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;

  // Queues `full` and returns an empty piece of the same capacities to fill
  // next; waits while the writer is kInFlight pieces behind. After a failed
  // write the pieces queued are dropped, never half written out of order.
  Piece Swap(Piece full);
  // Bytes the pieces written so far came to past their `least`.
  uint64_t Excess() const { return excess_.load(std::memory_order_relaxed); }
  // Waits until every queued piece is written and stops the thread.
  Written Finish();
  // Stops the thread after the piece it is writing; the rest are dropped.
  Written Discard();

 private:
  static constexpr size_t kInFlight = 2;
  WriteBehind(int fd, uint64_t room) : fd_(fd), room_(room) {}
  Written Stop(bool drop);
  void Run();
  void Write(const Piece& piece, bool drop);

  const int fd_;
  const uint64_t room_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Piece> queue_;
  std::vector<Piece> spare_;
  bool stopping_ = false;
  bool dropping_ = false;
  std::atomic<uint64_t> excess_{0};
  // Only the writing thread touches these until Stop has joined it.
  ByteBuffer out_;
  Written written_;
  std::thread thread_;
};

}  // namespace tovrin
