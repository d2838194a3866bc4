// The settings of a running poller read again (SIGHUP, systemctl reload):
// the settings file, then --config and --set as at the start, taken
// between jobs, never while one runs.
#pragma once

#include <string>
#include <vector>

#include "app/batch_options.h"
#include "settings/plot_settings.h"

namespace tovrin {

struct SettingsReload {
  bool applied = false;               // false: the settings in force stay
  std::vector<std::string> changes;   // "KEY: old -> new", in file order
  std::vector<std::string> warnings;  // what reading found, and why nothing was taken
};

// Reads the settings as the program's start did and puts them in
// `settings` only when the file was read to its end: a file that is
// missing, cannot be read or stops at a bad line keeps the settings in
// force (an editor's half-written file must not change how drawings are
// plotted or whether they are deleted).
SettingsReload ReloadSettings(const BatchOptions& options, const std::string& start_folder,
                              PlotSettings& settings);

// "KEY: old -> new" for each setting that differs.
std::vector<std::string> SettingChanges(const PlotSettings& before, const PlotSettings& after);

// ReloadSettings with its report: what changed to stdout, the warnings to
// stderr. True when the settings were taken.
bool ReloadAndReport(const BatchOptions& options, const std::string& start_folder,
                     PlotSettings& settings);

}  // namespace tovrin
