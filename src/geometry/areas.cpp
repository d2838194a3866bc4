#include "geometry/geometry_commands.h"
#include "ofi/translation.h"

namespace tovrin {

size_t AreaLength(const WordReader&) { return 0; }
void RunArea(Translation&) {}

}  // namespace tovrin
