// Writes a big GLF's filled buffers on a thread of its own, so the kernel's
// copying of the bytes runs beside the translation instead of inside it.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tovrin {

class WriteBehind {
 public:
  struct Buffer {
    std::unique_ptr<char[]> data;
    size_t capacity = 0;
  };

  // Writes to `file`, which nothing else may touch until Finish returns.
  explicit WriteBehind(std::FILE* file);
  ~WriteBehind();
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;

  // Queues the first `size` bytes of `full` and returns an empty buffer to
  // fill next; waits while the writer is kInFlight buffers behind. After a
  // failed write the bytes queued are dropped, never half written out of
  // order.
  Buffer Swap(Buffer full, size_t size);
  // Waits until every queued byte is written and stops the thread; false,
  // with `error` set, when a write failed.
  bool Finish(std::string& error);

 private:
  static constexpr size_t kInFlight = 2;
  struct Queued {
    Buffer buffer;
    size_t size = 0;
  };
  void Run();
  void Write(const Queued& item);

  std::FILE* const file_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Queued> queue_;
  std::vector<Buffer> spare_;
  bool stopping_ = false;
  bool failed_ = false;
  std::string error_;
  std::thread thread_;
};

}  // namespace tovrin
