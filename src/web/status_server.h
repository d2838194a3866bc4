// tovrin-batch's read-only status page, JSON and metrics (--http): served
// on threads of its own from the poller's status board and a read-only
// connection to the job history, so that it never holds up plotting.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "job/status_board.h"
#include "web/connection_pool.h"
#include "web/listen_address.h"

namespace tovrin::web {

struct StatusServerOptions {
  ListenAddress address;
  std::string history_path;  // the start folder's Tovrin.db
  std::optional<std::string> preview_folder;
  PoolLimits limits = DefaultLimits();
  // Lines for the operator (stderr): where it listens, why it cannot.
  std::function<void(const std::string&)> log;
  // An address that cannot be bound (in use, not on this host yet) is
  // tried again this often while the server lives.
  std::chrono::milliseconds retry{10000};

  // A quarter of the descriptors the process may open, at most 256: the
  // job keeps the rest.
  static PoolLimits DefaultLimits();
};

class StatusServer {
 public:
  StatusServer(const StatusBoard& board, StatusServerOptions options);
  ~StatusServer();
  StatusServer(const StatusServer&) = delete;
  StatusServer& operator=(const StatusServer&) = delete;

  // Binds the address now and serves on threads of its own. False with
  // `error` when it cannot bind now (it then tries again every `retry`) or
  // the system refuses its threads (it then serves nothing).
  bool Start(std::string& error);
  void Stop();
  // The bound port (the one chosen for port 0); 0 while not bound.
  int Port() const;
  PoolStats Stats() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tovrin::web
