// The file chooser window (Form3): picks the drawings of a manual job.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace tovrin {

struct ChooserPosition {
  int16_t top = 1250;  // twips
  int16_t left = 1150;
};

// Shows the chooser modally at `position`, starting in `ofi_folder`. Returns
// the chosen file names (each name part + ".OFI"), or an empty list on
// cancel; `ofi_folder` follows the folder shown and `position` is where the
// window was when it closed.
std::vector<std::string> ChooseDrawingFiles(QWidget* parent, std::string& ofi_folder,
                                            const std::string& start_folder,
                                            ChooserPosition& position);

}  // namespace tovrin
