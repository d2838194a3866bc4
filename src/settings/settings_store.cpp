#include "settings/settings_store.h"

namespace tovrin {

bool LoadSettingsFile(const std::string&, PlotSettings&) { return false; }

}  // namespace tovrin
