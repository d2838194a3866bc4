#include "ofi/sheet_commands.h"
#include "ofi/translation.h"

namespace tovrin {

// Sheet record: extent and far corner, then the plotter set-up.
void RunSheet(Translation&) {}

}  // namespace tovrin
