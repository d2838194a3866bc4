#include "geometry/geometry_commands.h"
#include "ofi/translation.h"

namespace tovrin {

size_t PolylineLength(const WordReader&) { return 0; }
void RunLine(Translation&) {}
void RunPolyline(Translation&) {}

}  // namespace tovrin
