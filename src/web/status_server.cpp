#include "web/status_server.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/worker_thread.h"
#include "web/guarded_server.h"
#include "web/http_routes.h"

namespace tovrin::web {
namespace {

// The listening socket is this program's alone: SO_REUSEADDR lets a restart
// bind while old connections linger, but no SO_REUSEPORT (the library's
// default), under which a second program could bind the same port and
// take half the connections.
void ListeningSocket(socket_t fd) {
  int yes = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

// The page's threads give way to the job's when the processors are busy.
void Lower() {
  const auto self = static_cast<id_t>(::syscall(SYS_gettid));
  errno = 0;
  const int nice = ::getpriority(PRIO_PROCESS, self);
  if (errno == 0) ::setpriority(PRIO_PROCESS, self, std::min(nice + 10, 19));
}

}  // namespace

PoolLimits StatusServerOptions::DefaultLimits() {
  PoolLimits limits;
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY)
    limits.max_connections = std::clamp<size_t>(files.rlim_cur / 4, 8, 256);
  return limits;
}

struct StatusServer::Impl {
  Impl(const StatusBoard& board, StatusServerOptions o)
      : options(std::move(o)),
        source(board, options.history_path, options.preview_folder),
        server(options.limits) {
    const auto seconds = [](std::chrono::milliseconds ms) {
      return std::max<time_t>(1, std::chrono::duration_cast<std::chrono::seconds>(ms).count());
    };
    server.set_socket_options(ListeningSocket);
    server.set_keep_alive_max_count(100);
    server.set_keep_alive_timeout(seconds(options.limits.idle));
    server.set_read_timeout(seconds(options.limits.io_wait));
    server.set_write_timeout(seconds(options.limits.io_wait));
    server.set_payload_max_length(4096);  // GET and HEAD only: no body worth the name
    InstallRoutes(server, source, board);
  }

  void Log(const std::string& line) const {
    if (options.log) options.log(line);
  }
  bool Bind(std::string& error);
  void Serve();

  StatusServerOptions options;
  StatusSource source;
  GuardedServer server;
  std::thread thread;
  std::mutex mutex;
  std::condition_variable changed;
  bool stopping = false;
  bool done = false;
  std::atomic<int> port{0};
};

bool StatusServer::Impl::Bind(std::string& error) {
  const ListenAddress& a = options.address;
  errno = 0;
  const int bound = a.port == 0 ? server.bind_to_any_port(a.host)
                                : (server.bind_to_port(a.host, a.port) ? a.port : -1);
  if (bound <= 0) {
    error = "cannot listen on " + a.Text() + " (" +
            (errno ? std::strerror(errno) : "no such address") + ")";
    return false;
  }
  server.WidenBacklog();
  port = bound;
  return true;
}

void StatusServer::Impl::Serve() {
  Lower();  // before the pool's threads start: they inherit it
  std::string error;
  if (!server.Pool().Start(error)) Log(error);
  std::unique_lock lock(mutex);
  while (!stopping && error.empty()) {
    if (port == 0) {
      lock.unlock();
      const bool bound = Bind(error);
      lock.lock();
      if (!bound) {
        error.clear();
        changed.wait_for(lock, options.retry, [this] { return stopping; });
        continue;
      }
    }
    ListenAddress shown = options.address;
    shown.port = port;
    lock.unlock();
    Log("status page on http://" + shown.Text() + "/");
    server.listen_after_bind();  // until Stop
    lock.lock();
    break;
  }
  done = true;
  changed.notify_all();
}

StatusServer::StatusServer(const StatusBoard& board, StatusServerOptions options)
    : impl_(std::make_unique<Impl>(board, std::move(options))) {}

StatusServer::~StatusServer() { Stop(); }

bool StatusServer::Start(std::string& error) {
  const bool bound = impl_->Bind(error);
  if (!bound)
    error += "; trying again every " + std::to_string(impl_->options.retry.count() / 1000) + " s";
  std::string reason;
  if (!StartWorkerThread(
          impl_->thread, [this] { impl_->Serve(); }, reason)) {
    error = "no thread for the status page (" + reason + ")";
    return false;
  }
  return bound;
}

void StatusServer::Stop() {
  std::unique_lock lock(impl_->mutex);
  impl_->stopping = true;
  impl_->changed.notify_all();
  // The accept loop may not have begun yet: stop it until the thread is done.
  while (impl_->thread.joinable() && !impl_->done) {
    lock.unlock();
    impl_->server.stop();
    lock.lock();
    impl_->changed.wait_for(lock, std::chrono::milliseconds(20), [this] { return impl_->done; });
  }
  lock.unlock();
  if (impl_->thread.joinable()) impl_->thread.join();
  impl_->server.CloseBound();
  impl_->server.Pool().Stop();
}

int StatusServer::Port() const { return impl_->port; }

PoolStats StatusServer::Stats() const { return impl_->server.Pool().Stats(); }

}  // namespace tovrin::web
