// Where the status page listens: a numeric address and a port, as given to
// --http. Host names are refused so that it never binds somewhere a name
// happens to resolve to.
#pragma once

#include <optional>
#include <string>

namespace tovrin::web {

struct ListenAddress {
  std::string host;  // "127.0.0.1", "::1": what to bind, without brackets
  int port = 0;      // 0: any free port (tests)
  bool ipv6 = false;
  // "127.0.0.1:8631", "[::1]:8631"
  std::string Text() const;
};

// "IPV4:PORT" or "[IPV6]:PORT", PORT a plain decimal from 0 to 65535.
// nullopt with `error` set otherwise.
std::optional<ListenAddress> ParseListenAddress(const std::string& text, std::string& error);

}  // namespace tovrin::web
