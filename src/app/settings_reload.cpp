#include "app/settings_reload.h"

#include <iostream>

#include "platform/folder.h"
#include "settings/settings_store.h"

namespace tovrin {

SettingsReload ReloadSettings(const BatchOptions& options, const std::string& start_folder,
                              PlotSettings& settings) {
  SettingsReload reload;
  PlotSettings fresh = PlotSettings::Defaults(start_folder);
  const std::string path =
      options.config ? *options.config : JoinPath(start_folder, kSettingsFileName);
  const SettingsFileRead read = ReadSettingsFile(path, fresh);
  // An unreadable file's own warning speaks of the defaults a start takes.
  if (read.status != SettingsFileRead::Status::Unreadable) reload.warnings = read.warnings;
  if (read.status != SettingsFileRead::Status::Read || !read.Complete()) {
    const std::string why = read.status == SettingsFileRead::Status::Missing ? "not found"
                            : read.stopped_early ? "stopped at a bad line"
                                                 : "cannot be read (" + read.error + ")";
    reload.warnings.push_back("reload: " + path + " " + why + ": the settings in force are kept");
    return reload;
  }
  for (const auto& [key, text] : options.sets) {
    if (!ApplySettingText(fresh, *FindSetting(key), text)) {
      reload.warnings.push_back("reload: value out of range for " + key +
                                ": the settings in force are kept");
      return reload;
    }
  }
  reload.changes = SettingChanges(settings, fresh);
  reload.applied = true;
  settings = std::move(fresh);
  return reload;
}

std::vector<std::string> SettingChanges(const PlotSettings& before, const PlotSettings& after) {
  std::vector<std::string> changes;
  for (const SettingInfo& info : SettingTable()) {
    const std::string old_text = SettingText(before, info);
    const std::string new_text = SettingText(after, info);
    if (old_text != new_text)
      changes.push_back(std::string(info.key) + ": " + old_text + " -> " + new_text);
  }
  return changes;
}

bool ReloadAndReport(const BatchOptions& options, const std::string& start_folder,
                     PlotSettings& settings) {
  const SettingsReload reload = ReloadSettings(options, start_folder, settings);
  for (const std::string& warning : reload.warnings)
    std::cerr << "tovrin-batch: " << warning << "\n";
  if (!reload.applied) return false;
  std::cout << "tovrin-batch: settings reloaded, "
            << (reload.changes.empty() ? "nothing changed"
                                       : std::to_string(reload.changes.size()) + " changed")
            << std::endl;
  for (const std::string& change : reload.changes)
    std::cout << "tovrin-batch: reload: " << change << std::endl;
  return true;
}

}  // namespace tovrin
