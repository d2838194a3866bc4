#include "platform/worker_thread.h"

#include <pthread.h>
#include <signal.h>

#include <system_error>
#include <utility>

namespace tovrin {

bool StartWorkerThread(std::thread& thread, std::function<void()> work, std::string& reason) {
  // A new thread inherits its creator's mask: blocked around the start, so
  // that not one signal can reach the thread before it runs.
  sigset_t all, before;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &before);
  bool started = true;
  try {
    thread = std::thread(std::move(work));
  } catch (const std::system_error& e) {
    reason = e.code().message();
    started = false;
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  return started;
}

}  // namespace tovrin
