// Starting the program's helper threads.
#pragma once

#include <functional>
#include <string>
#include <thread>

namespace tovrin {

// Starts `work` on a new thread into `thread` (which holds none), with every
// signal blocked there so that SIGTERM and SIGINT reach the thread that
// handles them. False, with `reason` set, when the system refuses a thread
// (a task limit reached): the caller then does the work itself.
bool StartWorkerThread(std::thread& thread, std::function<void()> work, std::string& reason);

}  // namespace tovrin
