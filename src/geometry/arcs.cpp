#include "geometry/geometry_commands.h"
#include "ofi/translation.h"

namespace tovrin {

void RunArc(Translation&) {}

}  // namespace tovrin
