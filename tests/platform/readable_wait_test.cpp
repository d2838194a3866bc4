// The poller's sleep between jobs: it ends for a signal however late the
// signal comes, and a descriptor gone bad does not turn it into a spin.
#include "platform/readable_wait.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <ctime>

namespace tovrin {
namespace {

std::atomic<bool> g_flag{false};
void SetFlag(int) { g_flag = true; }

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

TEST(ReadableWait, EndsForASignalThatComesJustAfterTheLastLookAndForData) {
  struct sigaction action = {}, before = {};
  action.sa_handler = SetFlag;
  ASSERT_EQ(sigaction(SIGUSR1, &action, &before), 0);
  g_flag = false;
  bool raised = false;
  // The signal arrives right after the flag was read as unset: it must end
  // the sleep that follows, not be noticed only when the time is up.
  auto start = std::chrono::steady_clock::now();
  const WaitEnd end = WaitReadable(-1, 20,
                                   [&] {
                                     const bool set = g_flag;
                                     if (!raised) raised = ::raise(SIGUSR1) == 0;
                                     return set;
                                   },
                                   {SIGUSR1});
  EXPECT_EQ(end, WaitEnd::Interrupted);
  EXPECT_LT(SecondsSince(start), 10);
  sigaction(SIGUSR1, &before, nullptr);

  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  ASSERT_EQ(::write(pipe_fds[1], "x", 1), 1);
  EXPECT_EQ(WaitReadable(pipe_fds[0], 20, [] { return false; }, {}), WaitEnd::Readable);
  ::close(pipe_fds[0]);
  ::close(pipe_fds[1]);
}

TEST(ReadableWait, ADescriptorGoneBadSleepsOutTheTime) {
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  ::close(pipe_fds[0]);
  ::close(pipe_fds[1]);
  const auto start = std::chrono::steady_clock::now();
  const double cpu = ThreadCpuSeconds();
  EXPECT_EQ(WaitReadable(pipe_fds[0], 0.5, [] { return false; }, {}), WaitEnd::TimedOut);
  EXPECT_GE(SecondsSince(start), 0.49);
  EXPECT_LT(ThreadCpuSeconds() - cpu, 0.25) << "the wait spun on the bad descriptor";
}

}  // namespace
}  // namespace tovrin
