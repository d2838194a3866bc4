#include "ofi/translation.h"
#include "text/text_commands.h"

namespace tovrin {

void RunAnnotationLine(Translation&) {}
void RunPaletteColour(Translation&) {}

}  // namespace tovrin
