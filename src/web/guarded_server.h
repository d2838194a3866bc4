// cpp-httplib's server with the connections kept by a ConnectionPool: the
// library accepts and parses, the pool decides when a connection deserves
// a thread and how many bytes a head may take before it is refused.
#pragma once

#include <httplib.h>

#include "web/connection_pool.h"

namespace tovrin::web {

class GuardedServer : public httplib::Server {
 public:
  explicit GuardedServer(PoolLimits limits);
  ~GuardedServer() override;
  ConnectionPool& Pool() { return pool_; }

 private:
  // Called by the accept loop for each connection: the pool takes it.
  bool process_and_close_socket(socket_t sock) override;
  // One request from a connection's buffered head; true to keep it open.
  bool ServeOne(Connection& c);

  ConnectionPool pool_;
};

}  // namespace tovrin::web
