#include "platform/readable_wait.h"

#include <poll.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <ctime>

namespace tovrin {

namespace {

double Now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

timespec SpanOf(double seconds) {
  const double whole = std::floor(seconds);
  return {static_cast<time_t>(whole), static_cast<long>((seconds - whole) * 1e9)};
}

}  // namespace

WaitEnd WaitReadable(int fd, double seconds, const std::function<bool()>& interrupted,
                     std::initializer_list<int> signals) {
  sigset_t blocked, before;
  sigemptyset(&blocked);
  for (int s : signals) sigaddset(&blocked, s);
  pthread_sigmask(SIG_BLOCK, &blocked, &before);
  const double end = Now() + seconds;
  WaitEnd result = WaitEnd::TimedOut;
  for (;;) {
    if (interrupted()) {
      result = WaitEnd::Interrupted;
      break;
    }
    const double left = end - Now();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    const timespec span = SpanOf(left);
    // `before` lets the blocked signals in for the sleep only.
    const int n = ::ppoll(&p, fd >= 0 ? 1 : 0, &span, &before);
    if (n > 0 && (p.revents & POLLIN)) {
      result = WaitEnd::Readable;
      break;
    }
    // A descriptor gone bad is never readable again: sleep out the time
    // without it rather than spin on it.
    if (n > 0 || (n < 0 && errno != EINTR)) fd = -1;
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  return result;
}

}  // namespace tovrin
