#include "web/connection_pool.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace tovrin::web {
namespace {

using Clock = std::chrono::steady_clock;

// The blank line that ends a request's head (the parser ends it there too).
bool HeadComplete(const std::string& bytes) { return bytes.find("\n\r\n") != std::string::npos; }

void CloseSocket(int fd) {
  ::shutdown(fd, SHUT_RDWR);
  ::close(fd);
}

}  // namespace

ConnectionPool::ConnectionPool(PoolLimits limits, Serve serve)
    : limits_(limits), serve_(std::move(serve)) {}

ConnectionPool::~ConnectionPool() {
  Stop();
  for (int fd : wake_)
    if (fd >= 0) ::close(fd);
}

bool ConnectionPool::Start(std::string& error) {
  if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  try {
    workers_ = std::make_unique<httplib::ThreadPool>(static_cast<size_t>(limits_.workers));
    poller_ = std::thread([this] { Run(); });
  } catch (const std::system_error& e) {
    error = std::string("no thread for the status page: ") + e.what();
    Stop();
    return false;
  }
  std::lock_guard lock(mutex_);
  running_ = true;
  return true;
}

void ConnectionPool::Stop() {
  stop_ = true;
  Wake();
  if (poller_.joinable()) poller_.join();
  if (workers_) workers_->shutdown();  // each worker gives up its request within io_wait slices
  workers_.reset();
  std::lock_guard lock(mutex_);
  running_ = false;
  for (int fd : incoming_) CloseSocket(fd);
  incoming_.clear();
  for (auto& c : returned_) CloseSocket(c->fd);
  stats_.open -= std::min(stats_.open, returned_.size());
  returned_.clear();
}

void ConnectionPool::Wake() {
  if (wake_[1] >= 0) [[maybe_unused]]
    auto n = ::write(wake_[1], "x", 1);
}

void ConnectionPool::Add(int fd) {
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  {
    std::lock_guard lock(mutex_);
    if (running_ && !stop_) {
      incoming_.push_back(fd);
      fd = -1;
    }
  }
  if (fd >= 0) CloseSocket(fd);
  Wake();
}

PoolStats ConnectionPool::Stats() const {
  std::lock_guard lock(mutex_);
  return stats_;
}

void ConnectionPool::Close(std::unique_ptr<Connection> c) {
  CloseSocket(c->fd);
  std::lock_guard lock(mutex_);
  --stats_.open;
}

void ConnectionPool::Dispatch(std::unique_ptr<Connection> c) {
  Connection* raw = c.release();
  workers_->enqueue([this, raw] {
    std::unique_ptr<Connection> c(raw);
    const bool keep = serve_(*c) && !stop_;
    if (!keep && !c->capped) return Close(std::move(c));
    if (c->capped) {
      ::shutdown(c->fd, SHUT_WR);
      c->lingering = true;
    }
    std::lock_guard lock(mutex_);
    returned_.push_back(std::move(c));
    Wake();
  });
}

// Past the cap the connection whose head is due soonest (the one idle the
// longest) makes room; with every connection at a worker, the new one goes.
void ConnectionPool::Admit(int fd, std::vector<std::unique_ptr<Connection>>& waiting) {
  bool full = false;
  {
    std::lock_guard lock(mutex_);
    ++stats_.accepted;
    full = stats_.open >= limits_.max_connections;
    if (full)
      ++stats_.evicted;
    else
      ++stats_.open;
  }
  if (full) {
    auto oldest = std::min_element(waiting.begin(), waiting.end(),
                                   [](auto& a, auto& b) { return a->deadline < b->deadline; });
    if (oldest == waiting.end()) return CloseSocket(fd);
    Close(std::move(*oldest));
    waiting.erase(oldest);
    std::lock_guard lock(mutex_);
    ++stats_.open;
  }
  auto c = std::make_unique<Connection>();
  c->fd = fd;
  c->deadline = Clock::now() + limits_.idle;
  waiting.push_back(std::move(c));
}

void ConnectionPool::Collect(std::vector<std::unique_ptr<Connection>>& waiting) {
  std::vector<int> incoming;
  std::vector<std::unique_ptr<Connection>> returned;
  {
    std::lock_guard lock(mutex_);
    incoming.swap(incoming_);
    returned.swap(returned_);
  }
  for (auto& c : returned) {
    c->deadline = Clock::now() + (c->lingering ? limits_.linger : limits_.idle);
    if (!c->lingering && HeadComplete(c->unread))
      Dispatch(std::move(c));  // a pipelined request
    else
      waiting.push_back(std::move(c));
  }
  for (int fd : incoming) Admit(fd, waiting);
}

ConnectionPool::Head ConnectionPool::ReadHead(Connection& c) {
  char buffer[4096];
  const size_t room = std::min(sizeof buffer, limits_.max_head_bytes - c.unread.size());
  const ssize_t n = ::recv(c.fd, buffer, room, MSG_DONTWAIT);
  if (n < 0) return errno == EAGAIN || errno == EINTR ? Head::More : Head::Closed;
  if (n == 0) return Head::Closed;
  c.unread.append(buffer, static_cast<size_t>(n));
  {
    std::lock_guard lock(mutex_);
    stats_.largest_head = std::max(stats_.largest_head, c.unread.size());
    if (!HeadComplete(c.unread) && c.unread.size() >= limits_.max_head_bytes) {
      ++stats_.refused_heads;
      c.capped = true;
    }
  }
  // A head past the bound goes to the parser as it is, ended there: it
  // answers 414 or 400 and the connection closes.
  return HeadComplete(c.unread) || c.capped ? Head::Ready : Head::More;
}

// Reads and drops what a refused client still sends; false once it closed.
bool ConnectionPool::Drain(Connection& c) {
  char buffer[16 * 1024];
  const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
  return n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR));
}

void ConnectionPool::Sweep(std::vector<std::unique_ptr<Connection>>& waiting,
                           const std::vector<pollfd>& polled) {
  const auto now = Clock::now();
  std::vector<std::unique_ptr<Connection>> still;
  for (size_t i = 0; i < waiting.size(); ++i) {
    std::unique_ptr<Connection>& c = waiting[i];
    if (polled[i + 1].revents != 0 && c->lingering) {
      if (!Drain(*c)) {
        Close(std::move(c));
        continue;
      }
    } else if (polled[i + 1].revents != 0) {
      const Head head = ReadHead(*c);
      if (head == Head::Ready) {
        Dispatch(std::move(c));
        continue;
      }
      if (head == Head::Closed) {
        Close(std::move(c));
        continue;
      }
    }
    if (now >= c->deadline) {
      {
        std::lock_guard lock(mutex_);
        if (!c->lingering) ++stats_.timed_out;
      }
      Close(std::move(c));
      continue;
    }
    still.push_back(std::move(c));
  }
  waiting.swap(still);
}

void ConnectionPool::Run() {
  std::vector<std::unique_ptr<Connection>> waiting;
  std::vector<pollfd> polled;
  while (!stop_) {
    Collect(waiting);
    polled.assign(1, pollfd{wake_[0], POLLIN, 0});
    auto next = Clock::now() + std::chrono::seconds(1);
    for (auto& c : waiting) {
      polled.push_back(pollfd{c->fd, POLLIN, 0});
      next = std::min(next, c->deadline);
    }
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now());
    ::poll(polled.data(), polled.size(), static_cast<int>(std::max<int64_t>(0, wait.count()) + 1));
    char drain[64];
    while (::read(wake_[0], drain, sizeof drain) > 0) {}
    Sweep(waiting, polled);
  }
  for (auto& c : waiting) Close(std::move(c));
}

}  // namespace tovrin::web
