// Text attributes of a drawing and those carried through a job.
#pragma once

namespace tovrin {

struct Translation;

// Carried from one drawing of a job to the next.
struct TextJobState {};

// Per drawing.
struct TextState {};

// Writes the pending direction, extra-space and slant strings, each only when
// new. Called by FlushPending and by the text records.
void FlushTextAttributes(Translation& tr);

}  // namespace tovrin
