// Runs a check in a child process that dropped to user and group nobody, as
// a CAD user without rights on the job's files would be.
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace tovrin::test {

// The child's exit status: `check`'s result (0 for success), 99 when the
// rights could not be dropped, -1 when it did not end normally.
inline int AsNobody(const std::function<int()>& check) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(99);
    ::_exit(check());
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tovrin::test
