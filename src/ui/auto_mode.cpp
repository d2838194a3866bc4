#include "ui/auto_mode.h"

#include <cmath>

#include "settings/values.h"
#include "ui/ui_texts.h"

namespace tovrin {

int32_t RepeatIntervalMs(double seconds) {
  if (!(seconds > 0)) return 0;  // negative, zero or not a number
  double ms = seconds * 1000;
  if (ms >= kMaxRepeatMs) return kMaxRepeatMs;
  return static_cast<int32_t>(RoundHalfEven(ms));
}

AutoMode ParseCommandLine(const std::string& command_line) {
  const std::string line = command_line == "auto" ? "AUTO" : command_line;
  AutoMode mode;
  if (line == "AUTO") {
    mode.kind = AutoMode::Kind::SingleRun;
    mode.caption = ui_texts::kAuto;
  } else if (line.size() > 4 && line.compare(0, 4, "AUTO") == 0) {
    mode.kind = AutoMode::Kind::Repeat;
    mode.interval_ms = RepeatIntervalMs(LeadingNumber(std::string_view(line).substr(4)));
    mode.caption = std::string(ui_texts::kAuto) + "\r " + std::to_string(mode.interval_ms / 1000) +
                   ui_texts::kSeconds;
  }
  return mode;
}

}  // namespace tovrin
