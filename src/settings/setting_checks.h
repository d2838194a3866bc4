// Checks of setting values where they enter: `--set` on the command line and
// the lines of the settings file. A value that would delete drawings by
// mistake never gets through.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/plot_settings.h"

namespace tovrin {

// The text with surrounding blanks (also the ideographic one) removed and
// full-width katakana and ASCII turned into their half-width forms, so that
// what an input method types compares equal to the stored values.
std::string NarrowSettingText(std::string_view text);

// For an enumerated setting, the allowed value the text stands for (after
// NarrowSettingText), or nullopt. Other settings take the text as it is.
std::optional<std::string> AllowedValueFor(const SettingInfo& info, std::string_view text);

// "保存, 消去": the allowed values of an enumerated setting, for messages.
std::string AllowedList(const SettingInfo& info);

struct CheckedSetting {
  std::optional<std::string> value;  // the text to apply
  std::string error;                 // why not, naming what is allowed
};

// A value given on the command line: an enumerated setting must be one of
// its values; a numeric one a plain decimal within its range.
CheckedSetting CheckCommandLineValue(const SettingInfo& info, std::string_view text);

}  // namespace tovrin
