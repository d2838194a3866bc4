// Code run where the system refuses every new thread, as under a service's
// task limit or a container's pids limit.
#pragma once

#include <grp.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

namespace tovrin::test {

// RunWithoutThreads's answer when no limit could be set up here.
inline constexpr int kNoThreadLimitHere = 77;

// Runs `body` in a child process as user and group 65534 (root is not held
// to the limit) with RLIMIT_NPROC at 1, which that user's tasks already
// reach. Returns the child's exit status (body's value), 128 + the signal
// that ended it, or kNoThreadLimitHere.
inline int RunWithoutThreads(const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child < 0) return kNoThreadLimitHere;
  if (child == 0) {
    const rlimit one{1, 1};
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0 ||
        ::setrlimit(RLIMIT_NPROC, &one) != 0)
      ::_exit(kNoThreadLimitHere);
    pthread_t probe;
    if (::pthread_create(
            &probe, nullptr, [](void*) -> void* { return nullptr; }, nullptr) == 0)
      ::_exit(kNoThreadLimitHere);  // the limit does not hold here
    // An exception ends the child as it ends the program, not in the test
    // framework, which would go on to run the other tests in here.
    try {
      ::_exit(body());
    } catch (...) {
      std::abort();
    }
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child) return kNoThreadLimitHere;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace tovrin::test
