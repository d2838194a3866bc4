#include "settings/settings_store.h"

namespace tovrin {

bool LoadSettingsFile(const std::string&, PlotSettings&) { return false; }

bool SaveSettingsFile(const std::string&, const PlotSettings&, std::string& error) {
  error = "not written yet";
  return false;
}

}  // namespace tovrin
