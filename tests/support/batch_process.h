// tovrin-batch as a process of its own, the way a service or a script runs
// it: started in a folder, stopped with a signal, its output read back.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "temp_folder.h"

namespace tovrin::test {

inline constexpr const char* kBatchPath = TOVRIN_BATCH_PATH;

// How the process is started: as another user (the service's unprivileged
// user, say), and with a limit on the processes and threads it may have.
struct BatchAs {
  uid_t uid = 0;  // 0: as the test runs
  gid_t gid = 0;
  std::optional<rlim_t> max_processes;  // RLIMIT_NPROC
};

// What the process gets in its environment besides the test's.
struct BatchEnv {
  std::vector<std::string> set;  // NAME=VALUE
  std::vector<std::string> pid;  // names whose value is the process's own pid
};

// The uid and gid of user nobody.
inline constexpr uid_t kNobody = 65534;
inline constexpr gid_t kNogroup = 65534;

// A program started in `folder` with `args`, its output in a file there.
class Process {
 public:
  Process(const TempFolder& folder, const std::string& program, std::vector<std::string> args,
          BatchAs as = {}, BatchEnv env = {})
      : out_path_(folder / ("batch-" + std::to_string(++count_) + ".out")) {
    pid_ = ::fork();
    if (pid_ == 0) {
      ::setpgid(0, 0);  // a group of its own: stopping it stops what it started too
      int fd = ::open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0 || ::chdir(folder.path().c_str()) != 0) ::_exit(127);
      if (as.uid != 0 &&
          (::setgroups(0, nullptr) != 0 || ::setgid(as.gid) != 0 || ::setuid(as.uid) != 0))
        ::_exit(126);
      if (as.max_processes) {
        rlimit limit{*as.max_processes, *as.max_processes};
        if (::setrlimit(RLIMIT_NPROC, &limit) != 0) ::_exit(125);
      }
      for (const std::string& e : env.set) ::putenv(const_cast<char*>(e.c_str()));
      for (const std::string& name : env.pid)
        ::setenv(name.c_str(), std::to_string(::getpid()).c_str(), 1);
      ::dup2(fd, 1);
      ::dup2(fd, 2);
      std::vector<char*> argv{const_cast<char*>(program.c_str())};
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execvp(program.c_str(), argv.data());
      ::_exit(127);
    }
    if (pid_ > 0) ::setpgid(pid_, pid_);  // also here: a kill may come before the child runs
  }
  ~Process() {
    if (pid_ > 0) Stop(SIGKILL);
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Sends `signal` (none: just waits) and returns the exit status.
  int Stop(int signal = SIGTERM) {
    if (pid_ <= 0) return status_;
    if (signal != 0) ::kill(signal == SIGKILL ? -pid_ : pid_, signal);
    int st = 0;
    ::waitpid(pid_, &st, 0);
    pid_ = -1;
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return status_;
  }
  int Wait() { return Stop(0); }
  pid_t Pid() const { return pid_; }
  // True once the process has ended (its status is then kept for Stop).
  bool Ended() {
    if (pid_ <= 0) return true;
    int st = 0;
    if (::waitpid(pid_, &st, WNOHANG) != pid_) return false;
    pid_ = -1;
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return true;
  }

  std::string Output() const {
    std::ifstream f(out_path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  int Count(const std::string& text) const {
    const std::string out = Output();
    int n = 0;
    for (size_t at = out.find(text); at != std::string::npos; at = out.find(text, at + 1)) ++n;
    return n;
  }

 private:
  static inline int count_ = 0;
  std::string out_path_;
  pid_t pid_ = -1;
  int status_ = -1;
};

// tovrin-batch started in `folder` with `args`.
class Batch : public Process {
 public:
  Batch(const TempFolder& folder, std::vector<std::string> args, BatchAs as = {}, BatchEnv env = {})
      : Process(folder, kBatchPath, std::move(args), as, std::move(env)) {}
};

inline bool WaitFor(const std::function<bool()>& done,
                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace tovrin::test
