// Pen switches and dash patterns shared by the geometry and text commands.
#pragma once

#include <string>

#include "ofi/drawing_state.h"

namespace tovrin {

struct Translation;
struct SheetContext;

// Writes the normal dash pattern again when a shortened one is in force.
void RestorePattern(Translation& tr);
void EnterStrokeMode(Translation& tr);
// The block pen switches; true when they switched (and wrote the pen).
bool EnterTextMode(Translation& tr);
bool EnterPatternMode(Translation& tr);

// The normal pattern instruction for a line type ("LT2,1.6;"); empty for
// solid and break lines.
std::string NormalPattern(const SheetContext& sheet, LineType type);

}  // namespace tovrin
