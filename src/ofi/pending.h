// Attribute changes are held pending and written just before they matter,
// each only when it differs from the one in force.
#pragma once

#include "ofi/translation.h"

namespace tovrin {

// FlushPending once something is pending.
void FlushPendingNow(Translation& tr);

// Writes the pending pen/line type (when new), then the pending text
// attributes. Every drawing and block command calls it first; nothing
// pending is the usual case, told here without a call.
inline void FlushPending(Translation& tr) {
  if (!tr.stroke().pending.empty()) FlushPendingNow(tr);
}

// Writes the pending direction, extra-space and slant strings, each only when
// new. Called by FlushPending and by the text records.
void FlushTextAttributes(Translation& tr);

}  // namespace tovrin
