// Reading and writing the settings file Tovrin.sys.
#pragma once

#include <string>

#include "settings/plot_settings.h"

namespace tovrin {

inline constexpr const char* kSettingsFileName = "Tovrin.sys";

// Applies the file's settings over `settings`; reading stops silently at the
// first bad line, keeping what came before. False when the file cannot be read.
bool LoadSettingsFile(const std::string& path, PlotSettings& settings);

// Writes every setting; the old file is replaced only once the new one is
// complete. False with `error` set when it cannot be written.
bool SaveSettingsFile(const std::string& path, const PlotSettings& settings, std::string& error);

}  // namespace tovrin
