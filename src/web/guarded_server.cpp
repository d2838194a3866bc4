#include "web/guarded_server.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tovrin::web {
namespace {

using Clock = std::chrono::steady_clock;

// Runs each accepted connection's task at once on the accept thread: the
// task only hands the socket to the pool.
class HandOver : public httplib::TaskQueue {
 public:
  void enqueue(std::function<void()> fn) override { fn(); }
  void shutdown() override {}
};

void Address(int fd, bool peer, std::string& ip, int& port) {
  sockaddr_storage addr{};
  socklen_t length = sizeof addr;
  const int got = peer ? ::getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &length)
                       : ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
  char text[INET6_ADDRSTRLEN] = "";
  port = 0;
  if (got == 0 && addr.ss_family == AF_INET) {
    auto* in = reinterpret_cast<sockaddr_in*>(&addr);
    ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    port = ntohs(in->sin_port);
  } else if (got == 0 && addr.ss_family == AF_INET6) {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&addr);
    ::inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
    port = ntohs(in6->sin6_port);
  }
  ip = text;
}

// The parser's view of a connection: first the head the pool read, then the
// socket, each wait bounded and given up when the server stops. A head cut
// at the bound ends there (the parser then refuses it).
class ConnectionStream : public httplib::Stream {
 public:
  ConnectionStream(Connection& c, const ConnectionPool& pool)
      : c_(c), pool_(pool), end_(Clock::now() + pool.Limits().request) {}
  ~ConnectionStream() override { c_.unread.erase(0, taken_); }

  bool is_readable() const override {
    return taken_ < c_.unread.size() || (!c_.capped && Wait(POLLIN));
  }
  bool is_writable() const override { return Wait(POLLOUT); }

  ssize_t read(char* ptr, size_t size) override {
    if (taken_ < c_.unread.size()) {
      const size_t n = std::min(size, c_.unread.size() - taken_);
      std::memcpy(ptr, c_.unread.data() + taken_, n);
      taken_ += n;
      return static_cast<ssize_t>(n);
    }
    if (c_.capped) return 0;
    if (!Wait(POLLIN)) return -1;
    return ::recv(c_.fd, ptr, size, MSG_DONTWAIT);
  }

  ssize_t write(const char* ptr, size_t size) override {
    size_t sent = 0;
    while (sent < size) {
      if (!Wait(POLLOUT)) return -1;
      const ssize_t n = ::send(c_.fd, ptr + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0 && errno != EAGAIN && errno != EINTR) return -1;
      if (n > 0) sent += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(size);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    Address(c_.fd, true, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    Address(c_.fd, false, ip, port);
  }
  socket_t socket() const override { return c_.fd; }

 private:
  // Waits for the socket in short slices: at most io_wait for it to move,
  // never past the request's end or the server's stop.
  bool Wait(short events) const {
    const auto give_up = std::min(end_, Clock::now() + pool_.Limits().io_wait);
    while (!pool_.Stopping()) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(give_up - Clock::now()).count();
      if (left <= 0) return false;
      pollfd p{c_.fd, events, 0};
      const int ready = ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left, 100)));
      if (ready > 0) return (p.revents & (events | POLLHUP | POLLERR)) != 0;
      if (ready < 0 && errno != EINTR) return false;
    }
    return false;
  }

  Connection& c_;
  const ConnectionPool& pool_;
  const Clock::time_point end_;
  size_t taken_ = 0;
};

}  // namespace

GuardedServer::GuardedServer(PoolLimits limits)
    : pool_(limits, [this](Connection& c) { return ServeOne(c); }) {
  new_task_queue = [] { return new HandOver; };
}

GuardedServer::~GuardedServer() { pool_.Stop(); }

bool GuardedServer::process_and_close_socket(socket_t sock) {
  pool_.Add(sock);
  return true;
}

bool GuardedServer::ServeOne(Connection& c) {
  ++c.requests;
  const bool last = c.capped || c.requests >= static_cast<int>(keep_alive_max_count_);
  bool closed = false;
  bool answered = false;
  {
    ConnectionStream stream(c, pool_);
    answered = process_request(stream, last, closed, nullptr);
  }
  return answered && !closed && !last;
}

}  // namespace tovrin::web
