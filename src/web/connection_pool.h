// The status server's connections. An idle connection costs a descriptor
// and an entry in one poll set, never a thread: one thread reads each
// request's head (up to a bound) as it trickles in, and only a complete
// head (or one past the bound, to be refused) goes to a worker. The number
// of connections is capped; past the cap the connection idle the longest
// is closed. Nothing here may hold up the job: it has its own threads.
#pragma once

#include <poll.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class ThreadPool;
}

namespace tovrin::web {

struct PoolLimits {
  size_t max_connections = 256;
  size_t max_head_bytes = 16 * 1024;         // request line and headers
  std::chrono::milliseconds idle{5000};      // for a request's head to arrive in whole
  std::chrono::milliseconds io_wait{5000};   // a worker's wait for the socket to move
  std::chrono::milliseconds request{60000};  // a worker's whole time on one request
  std::chrono::milliseconds linger{2000};    // a refused connection's end
  int workers = 3;
};

struct PoolStats {
  uint64_t accepted = 0;
  uint64_t evicted = 0;        // closed to make room for a newer connection
  uint64_t refused_heads = 0;  // heads past max_head_bytes
  uint64_t timed_out = 0;      // no complete head within the idle time
  size_t open = 0;
  size_t largest_head = 0;  // the most bytes of one head read before it was parsed
};

// A connection and what was read from it that the parser has not taken.
struct Connection {
  int fd = -1;
  std::string unread;
  bool capped = false;  // its head passed the bound: nothing more is read from it
  // Refused and answered: what still comes is read and dropped until the
  // client has read the answer and closes (closing at once would reset the
  // connection and lose the answer).
  bool lingering = false;
  int requests = 0;
  std::chrono::steady_clock::time_point deadline;  // for its next head
};

class ConnectionPool {
 public:
  // Answers the request whose head is in `unread`; true to keep the
  // connection open for another.
  using Serve = std::function<bool(Connection&)>;

  ConnectionPool(PoolLimits limits, Serve serve);
  ~ConnectionPool();
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;

  // The poll thread and the workers; false with `error` when the system
  // refuses a thread or a pipe.
  bool Start(std::string& error);
  // Takes an accepted socket (closed at once when the pool is not running).
  void Add(int fd);
  void Stop();
  bool Stopping() const { return stop_; }
  const PoolLimits& Limits() const { return limits_; }
  PoolStats Stats() const;

 private:
  enum class Head { More, Ready, Closed };
  void Run();
  void Collect(std::vector<std::unique_ptr<Connection>>& waiting);
  void Admit(int fd, std::vector<std::unique_ptr<Connection>>& waiting);
  void Sweep(std::vector<std::unique_ptr<Connection>>& waiting, const std::vector<pollfd>& polled);
  Head ReadHead(Connection& c);
  bool Drain(Connection& c);
  void Dispatch(std::unique_ptr<Connection> c);
  void Close(std::unique_ptr<Connection> c);
  void Wake();

  const PoolLimits limits_;
  const Serve serve_;
  int wake_[2] = {-1, -1};
  std::atomic<bool> stop_{false};
  bool running_ = false;
  std::thread poller_;
  std::unique_ptr<httplib::ThreadPool> workers_;
  mutable std::mutex mutex_;
  std::vector<int> incoming_;                          // accepted, not yet admitted
  std::vector<std::unique_ptr<Connection>> returned_;  // back from a worker
  PoolStats stats_;
};

}  // namespace tovrin::web
