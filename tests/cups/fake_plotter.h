// A plotter on a TCP port: keeps the bytes of every connection it accepts.
// One that breaks down resets its first connection once that many bytes
// came, as a plotter switched off mid-drawing.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tovrin::test {

class FakePlotter {
 public:
  // Listens on 127.0.0.1:port; ok() is false when the port cannot be had.
  explicit FakePlotter(int port, size_t drop_first_after = 0) : drop_after_(drop_first_after) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd_, 8) != 0) {
      ::close(fd_);
      fd_ = -1;
      return;
    }
    thread_ = std::thread([this] { Serve(); });
  }
  ~FakePlotter() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
  }
  FakePlotter(const FakePlotter&) = delete;
  FakePlotter& operator=(const FakePlotter&) = delete;

  bool ok() const { return fd_ >= 0; }

  // Waits until `count` connections have ended; false on timeout.
  bool WaitForJobs(size_t count, std::chrono::seconds timeout) {
    std::unique_lock lock(mutex_);
    return done_.wait_for(lock, timeout, [&] { return jobs_.size() >= count; });
  }
  std::vector<std::string> Jobs() {
    std::lock_guard lock(mutex_);
    return jobs_;
  }
  // Waits until the first connection has been reset; false on timeout.
  bool WaitForDrop(std::chrono::seconds timeout) {
    std::unique_lock lock(mutex_);
    return done_.wait_for(lock, timeout, [&] { return dropped_; });
  }

 private:
  // Polls with a short timeout so the destructor never waits on a peer.
  bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    while (!stop_) {
      int r = ::poll(&p, 1, 50);
      if (r > 0) return true;
      if (r < 0) return false;
    }
    return false;
  }

  void Serve() {
    while (Readable(fd_)) {
      int conn = ::accept(fd_, nullptr, nullptr);
      if (conn < 0) continue;
      std::string bytes;
      char buf[65536];
      bool drop = drop_after_ > 0 && !dropped_;
      while (Readable(conn)) {
        ssize_t n = ::read(conn, buf, sizeof buf);
        if (n <= 0) break;
        bytes.append(buf, static_cast<size_t>(n));
        if (drop && bytes.size() >= drop_after_) break;
      }
      if (drop) {
        linger reset{1, 0};  // close with RST: the sender's next write fails
        ::setsockopt(conn, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        ::close(conn);
        std::lock_guard lock(mutex_);
        dropped_ = true;
        done_.notify_all();
        continue;
      }
      ::close(conn);
      std::lock_guard lock(mutex_);
      jobs_.push_back(std::move(bytes));
      done_.notify_all();
    }
  }

  size_t drop_after_;
  bool dropped_ = false;  // under mutex_ once the server thread runs
  int fd_ = -1;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable done_;
  std::vector<std::string> jobs_;
};

}  // namespace tovrin::test
