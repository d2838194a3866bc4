#include "ui/file_chooser.h"

namespace tovrin {

std::vector<std::string> ChooseDrawingFiles(QWidget*, std::string&, const std::string&,
                                            ChooserPosition&) {
  return {};
}

}  // namespace tovrin
