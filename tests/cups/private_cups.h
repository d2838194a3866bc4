// The private cupsd that scripts/test.sh starts, as the CUPS tests use it:
// its names from the environment, the lock that gives one test the queues
// at a time, and guards that change the server for one test only.
#pragma once

#include <cups/cups.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/spooler.h"

namespace tovrin::test {

struct PrivateCups {
  std::string queue, spare, lock;
  int port = 0;
  pid_t pid = 0;       // the cupsd process
  std::string forget;  // the command that makes it lose its job state; empty: none
};

// The pid file, not the environment: a cupsd that lost its state runs anew.
inline pid_t CupsdPid() {
  const char* file = std::getenv("TOVRIN_CUPSD_PID_FILE");
  const char* pid = std::getenv("TOVRIN_CUPSD_PID");
  if (file) {
    std::ifstream in(file);
    long value = 0;
    return in >> value ? static_cast<pid_t>(value) : 0;
  }
  return pid ? std::atoi(pid) : 0;
}

inline std::optional<PrivateCups> FromEnvironment() {
  const char* server = std::getenv("CUPS_SERVER");
  const char* queue = std::getenv("TOVRIN_CUPS_QUEUE");
  const char* spare = std::getenv("TOVRIN_CUPS_SPARE_QUEUE");
  const char* port = std::getenv("TOVRIN_CUPS_PORT");
  const char* lock = std::getenv("TOVRIN_CUPS_LOCK");
  const char* script = std::getenv("TOVRIN_CUPSD_SCRIPT");
  const char* dir = std::getenv("TOVRIN_CUPSD_DIR");
  if (!server || !queue || !spare || !port || !lock) return std::nullopt;
  std::string forget = script && dir ? std::string(script) + " forget " + dir : "";
  return PrivateCups{queue, spare, lock, std::atoi(port), CupsdPid(), forget};
}

// Tests run as parallel processes but share one queue and one port: each
// holds this lock for its whole run.
class QueueLock {
 public:
  explicit QueueLock(const std::string& path)
      : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    for (int waited = 0; fd_ >= 0 && waited < 1200; ++waited) {
      if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        held_ = true;
        return;
      }
      ::usleep(100000);
    }
  }
  ~QueueLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  QueueLock(const QueueLock&) = delete;
  QueueLock& operator=(const QueueLock&) = delete;
  bool held() const { return held_; }

 private:
  int fd_;
  bool held_ = false;
};

// A test that needs the private cupsd: skipped without it, and holding the
// queue lock for its whole run.
class PrivateCupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::optional<PrivateCups> found = FromEnvironment();
    if (!found) GTEST_SKIP() << "no private cupsd (run scripts/test.sh)";
    cups = *found;
    lock = std::make_unique<QueueLock>(cups.lock);
    ASSERT_TRUE(lock->held()) << "the private queue stayed busy";
    cups.pid = CupsdPid();  // once no other test can restart it
  }

  PrivateCups cups;
  std::unique_ptr<QueueLock> lock;
};

// A CUPS command-line tool against the private server (CUPS_SERVER).
inline bool RunCupsTool(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// A queue with another error policy for one test: "stop-printer" stops the
// queue when its plotter fails, "retry-job" tries the job again a second
// later. Afterwards its jobs are cancelled and it is enabled and set back
// to abort-job.
class QueuePolicy {
 public:
  QueuePolicy(std::string queue, const std::string& policy) : queue_(std::move(queue)) {
    ok_ = RunCupsTool("lpadmin -p " + queue_ + " -o printer-error-policy=" + policy);
  }
  ~QueuePolicy() {
    RunCupsTool("cancel -a " + queue_);
    RunCupsTool("lpadmin -p " + queue_ + " -o printer-error-policy=abort-job");
    RunCupsTool("cupsenable " + queue_);
  }
  QueuePolicy(const QueuePolicy&) = delete;
  QueuePolicy& operator=(const QueuePolicy&) = delete;
  bool ok() const { return ok_; }

 private:
  std::string queue_;
  bool ok_ = false;
};

// The scheduler frozen (SIGSTOP) for a scope, as a hung cupsd; it runs
// again (SIGCONT) however the scope ends.
class FrozenCupsd {
 public:
  explicit FrozenCupsd(pid_t pid) : pid_(pid) { ok_ = pid_ > 0 && ::kill(pid_, SIGSTOP) == 0; }
  ~FrozenCupsd() {
    if (ok_) ::kill(pid_, SIGCONT);
  }
  FrozenCupsd(const FrozenCupsd&) = delete;
  FrozenCupsd& operator=(const FrozenCupsd&) = delete;
  bool ok() const { return ok_; }

 private:
  pid_t pid_;
  bool ok_ = false;
};

// Asks for the job's state until `done` holds or `timeout` passes; the last
// answer either way.
inline PrintJobStatus WaitForJob(Spooler& spooler, const SpoolerJob& job,
                                 const std::function<bool(const PrintJobStatus&)>& done,
                                 std::chrono::seconds timeout = std::chrono::seconds(30)) {
  auto until = std::chrono::steady_clock::now() + timeout;
  PrintJobStatus status = spooler.QueryJob(job);
  while (!done(status) && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    status = spooler.QueryJob(job);
  }
  return status;
}

}  // namespace tovrin::test
