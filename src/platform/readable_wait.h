// A wait that sleeps: until a descriptor has something to read, a time has
// passed, or a signal handler has set a flag.
#pragma once

#include <functional>
#include <initializer_list>

namespace tovrin {

enum class WaitEnd { Readable, TimedOut, Interrupted };

// Blocks until `fd` is readable (-1: none), `seconds` have passed or
// `interrupted()` holds. The signals in `signals` (those whose handlers set
// what `interrupted` reads) are blocked from the last look at `interrupted`
// until the wait itself lets them in, so one that arrives in between still
// ends the wait at once. Call it on the thread the signals are delivered to.
WaitEnd WaitReadable(int fd, double seconds, const std::function<bool()>& interrupted,
                     std::initializer_list<int> signals);

}  // namespace tovrin
