#include "settings/setting_values.h"

namespace tovrin::setting_values {

std::span<const char* const> AllowedValues(std::string_view key) {
  if (key == "OfiFMen") return kFileSelections;
  if (key == "OfiFEnd") return kFinishedFiles;
  if (key == "OfiOut") return kOutputs;
  if (key == "MojiK" || key == "MojiE") return kCharacterSets;
  if (key == "Plot") return kPlotters;
  if (key == "OfiB4" || key == "OfiB3" || key == "OfiB2" || key == "OfiB1") return kOrientations;
  if (key == "OfiA4V" || key == "OfiA4H" || key == "OfiA3" || key == "OfiA2V" || key == "OfiA2H" ||
      key == "OfiA1" || key == "OfiA0")
    return kRotations;
  return {};
}

}  // namespace tovrin::setting_values
