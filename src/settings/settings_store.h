// Reading and writing the settings file Tovrin.sys.
#pragma once

#include <string>
#include <vector>

#include "settings/plot_settings.h"

namespace tovrin {

inline constexpr const char* kSettingsFileName = "Tovrin.sys";

// What reading the settings file found, for the warnings and for the next save.
struct SettingsFileRead {
  enum class Status { Missing, Unreadable, Read };
  Status status = Status::Missing;
  std::string error;                  // why it is Unreadable
  bool read_as_utf8 = false;          // valid UTF-8 that is no code page 932 text
  bool stopped_early = false;         // a bad line ended the reading
  std::vector<std::string> warnings;  // one log line each

  bool Complete() const { return status != Status::Unreadable && !stopped_early; }
};

// Applies the file's settings over `settings`. Reading stops at the first bad
// line, keeping what came before, and says so in a warning with the line's
// number and text. A value outside its setting's list gets a warning; for
// OfiFEnd it becomes 保存, so a mistyped value never deletes drawings. Only a
// regular file is read (a FIFO would block the program).
SettingsFileRead ReadSettingsFile(const std::string& path, PlotSettings& settings);

// ReadSettingsFile without the report: false when the file cannot be read.
bool LoadSettingsFile(const std::string& path, PlotSettings& settings);

struct SaveOptions {
  // Keep the old file as PATH.bak first: the reading stopped early, so the
  // file holds settings this run never saw. Nothing is written when the old
  // file cannot be kept.
  bool keep_backup = false;
};

// Writes every setting; the old file is replaced only once the new one is
// complete. A symbolic link is written through: its target gets the settings.
// False with `error` set when it cannot be written.
bool SaveSettingsFile(const std::string& path, const PlotSettings& settings, std::string& error,
                      SaveOptions options = {});

}  // namespace tovrin
