#include "web/listen_address.h"

#include <arpa/inet.h>

namespace tovrin::web {
namespace {

std::optional<int> ParsePort(const std::string& text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  int port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + (c - '0');
  }
  if (port > 65535) return std::nullopt;
  return port;
}

bool Numeric(int family, const std::string& host) {
  unsigned char buffer[sizeof(in6_addr)];
  return ::inet_pton(family, host.c_str(), buffer) == 1;
}

}  // namespace

std::string ListenAddress::Text() const {
  return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<ListenAddress> ParseListenAddress(const std::string& text, std::string& error) {
  ListenAddress address;
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos) {
    error = "\"" + text + "\": ADDRESS:PORT, such as 127.0.0.1:8631";
    return std::nullopt;
  }
  std::string host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
    address.ipv6 = true;
  }
  if (!Numeric(address.ipv6 ? AF_INET6 : AF_INET, host)) {
    error = "\"" + text + "\": the address must be a numeric IPv4 address or an IPv6 address" +
            " in brackets (such as 127.0.0.1:8631 or [::1]:8631)";
    return std::nullopt;
  }
  std::optional<int> port = ParsePort(text.substr(colon + 1));
  if (!port) {
    error = "\"" + text + "\": the port must be a whole number from 0 to 65535";
    return std::nullopt;
  }
  address.host = host;
  address.port = *port;
  return address;
}

}  // namespace tovrin::web
