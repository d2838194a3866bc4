// The printer chooser window (Form4).
#pragma once

#include <optional>
#include <string>

#include "ui/file_chooser.h"

class QWidget;

namespace tovrin {

class Spooler;

// Shows the installed printers modally at `position`. Returns the chosen
// printer's name, or nullopt on cancel (or when nothing was chosen);
// `position` is where the window was when it closed.
std::optional<std::string> ChoosePrinter(QWidget* parent, Spooler& spooler,
                                         ChooserPosition& position);

}  // namespace tovrin
