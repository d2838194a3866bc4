#include "text/text_state.h"

namespace tovrin {

void FlushTextAttributes(Translation&) {}

}  // namespace tovrin
