// cpp-httplib's server with the connections kept by a ConnectionPool: the
// library accepts and parses, the pool decides when a connection deserves
// a thread and how many bytes a head may take before it is refused.
#pragma once

#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include "web/connection_pool.h"

namespace tovrin::web {

class GuardedServer : public httplib::Server {
 public:
  explicit GuardedServer(PoolLimits limits);
  ~GuardedServer() override;
  ConnectionPool& Pool() { return pool_; }
  // Once bound: the library listens with a backlog of 5, past which a burst
  // of clients waits a second each for its connection to be retried.
  void WidenBacklog() { ::listen(svr_sock_, 128); }
  // A socket bound but never listened on (stopped first) is closed here;
  // the library closes only the one it listens on.
  void CloseBound() {
    const socket_t fd = svr_sock_.exchange(INVALID_SOCKET);
    if (fd != INVALID_SOCKET) ::close(fd);
  }

 private:
  // Called by the accept loop for each connection: the pool takes it.
  bool process_and_close_socket(socket_t sock) override;
  // One request from a connection's buffered head; true to keep it open.
  bool ServeOne(Connection& c);

  ConnectionPool pool_;
};

}  // namespace tovrin::web
