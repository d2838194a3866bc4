// Pen switches and dash patterns shared by the geometry and text commands.
#pragma once

#include <string>

#include "ofi/drawing_state.h"
#include "ofi/translation.h"

namespace tovrin {

struct SheetContext;

// The two below once there is something to do.
void RestorePatternNow(Translation& tr);
void EnterStrokeModeNow(Translation& tr);

// Writes the normal dash pattern again when a shortened one is in force.
// Every stroke calls these two; the usual case, nothing to do, is told
// here without a call.
inline void RestorePattern(Translation& tr) {
  if (tr.stroke().adapted) RestorePatternNow(tr);
}
inline void EnterStrokeMode(Translation& tr) {
  const StrokeState& st = tr.stroke();
  if (st.mode != DrawingMode::Stroke && !st.in_block) EnterStrokeModeNow(tr);
}
// The block pen switches; true when they switched (and wrote the pen).
bool EnterTextMode(Translation& tr);
bool EnterPatternMode(Translation& tr);

// The normal pattern instruction for a line type ("LT2,1.6;"); empty for
// solid and break lines.
std::string NormalPattern(const SheetContext& sheet, LineType type);

}  // namespace tovrin
