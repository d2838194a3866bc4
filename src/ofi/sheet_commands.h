// ESC '!' sub-commands: scale, pen choice, sheet record, copies, dash unit.
#pragma once

namespace tovrin {

struct Translation;

void RunScale(Translation& tr);      // W
void RunPenChoice(Translation& tr);  // 2
void RunSheet(Translation& tr);      // R
void RunCopies(Translation& tr);     // V
void RunDashUnit(Translation& tr);   // J

}  // namespace tovrin
