#include "geometry/geometry_commands.h"
#include "ofi/translation.h"

namespace tovrin {

size_t WidePolylineLength(const WordReader&) { return 0; }
size_t WideArcLength(const WordReader&) { return 0; }
void RunWidePolyline(Translation&) {}
void RunWideArc(Translation&) {}

}  // namespace tovrin
