// Talking to a status server over real sockets on 127.0.0.1, byte for byte.
#pragma once

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace tovrin::test {

// A connected socket, or -1.
inline int ConnectTo(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Sends `request` (as much of it as the server takes) and reads until the
// server closes, the answer is whole, or `limit` passes.
inline std::string Exchange(int port, const std::string& request,
                            std::chrono::milliseconds limit = std::chrono::seconds(3)) {
  const int fd = ConnectTo(port);
  if (fd < 0) return {};
  const auto end = std::chrono::steady_clock::now() + limit;
  size_t sent = 0;
  std::string answer;
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{fd, static_cast<short>(POLLIN | (sent < request.size() ? POLLOUT : 0)), 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    if (p.revents & POLLOUT) {
      const ssize_t n =
          ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) sent += static_cast<size_t>(n);
    }
    if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
      char buffer[65536];
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n <= 0) break;
      answer.append(buffer, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  return answer;
}

inline std::string Get(int port, const std::string& target, const std::string& method = "GET") {
  return Exchange(port, method + " " + target +
                            " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                            "Connection: close\r\n\r\n");
}

// 200 for "HTTP/1.1 200 OK…"; 0 when there was no answer.
inline int StatusOf(const std::string& answer) {
  if (answer.compare(0, 9, "HTTP/1.1 ") != 0 || answer.size() < 12) return 0;
  return std::stoi(answer.substr(9, 3));
}

inline std::string BodyOf(const std::string& answer) {
  const size_t at = answer.find("\r\n\r\n");
  return at == std::string::npos ? std::string() : answer.substr(at + 4);
}

inline std::string HeaderOf(const std::string& answer, const std::string& name) {
  const size_t at = answer.find("\r\n" + name + ": ");
  if (at == std::string::npos || at > answer.find("\r\n\r\n")) return {};
  const size_t from = at + name.size() + 4;
  return answer.substr(from, answer.find("\r\n", from) - from);
}

}  // namespace tovrin::test
