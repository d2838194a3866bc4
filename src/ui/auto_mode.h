// What the command line makes of the program: interactive, one automatic
// run, or a repeated run every so many seconds.
#pragma once

#include <cstdint>
#include <string>

namespace tovrin {

// Longest repeat interval: a day. Longer intervals are capped.
inline constexpr int32_t kMaxRepeatMs = 86'400'000;
// Delay before the single automatic run, so the window is up first.
inline constexpr int kSingleRunDelayMs = 1000;

struct AutoMode {
  enum class Kind { Interactive, SingleRun, Repeat };
  Kind kind = Kind::Interactive;
  int32_t interval_ms = 0;  // repeat interval; 0 also when no timer should fire
  std::string caption;      // the "作成" button's caption; empty: unchanged
};

// The command line is the argument text taken as a whole, compared exactly.
AutoMode ParseCommandLine(const std::string& command_line);

// Milliseconds of a repeat given in seconds: ties to even, negative as 0,
// capped at kMaxRepeatMs.
int32_t RepeatIntervalMs(double seconds);

}  // namespace tovrin
