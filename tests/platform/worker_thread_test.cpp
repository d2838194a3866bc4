#include "platform/worker_thread.h"

#include <gtest/gtest.h>
#include <signal.h>

#include "thread_limit.h"

namespace tovrin {
namespace {

bool Blocked(int signal) {
  sigset_t now;
  pthread_sigmask(SIG_BLOCK, nullptr, &now);
  return sigismember(&now, signal) == 1;
}

// The caller blocks SIGUSR1 only: the worker must have SIGTERM blocked too,
// and the caller must get its own mask back, whether the thread started or
// was refused (a job thread left with SIGTERM blocked would never stop).
TEST(WorkerThread, BlocksSignalsInTheNewThreadOnlyAndReportsARefusal) {
  sigset_t usr1, before;
  sigemptyset(&usr1);
  sigaddset(&usr1, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &usr1, &before);
  std::thread thread;
  std::string reason;
  bool term_blocked = false, int_blocked = false;
  ASSERT_TRUE(StartWorkerThread(
      thread, [&] { term_blocked = Blocked(SIGTERM), int_blocked = Blocked(SIGINT); }, reason));
  thread.join();
  EXPECT_TRUE(term_blocked);
  EXPECT_TRUE(int_blocked);
  EXPECT_FALSE(Blocked(SIGTERM));
  EXPECT_TRUE(Blocked(SIGUSR1));

  const int refused = test::RunWithoutThreads([] {
    std::thread none;
    std::string why;
    if (StartWorkerThread(
            none, [] {}, why))
      return 1;
    if (why.empty()) return 2;
    return !Blocked(SIGTERM) && Blocked(SIGUSR1) ? 0 : 3;
  });
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  if (refused == test::kNoThreadLimitHere) GTEST_SKIP() << "no task limit can be set up here";
  EXPECT_EQ(refused, 0);
}

}  // namespace
}  // namespace tovrin
