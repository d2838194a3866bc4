// The reader cycle: one dispatch loop over the top-level words of a drawing.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "ofi/translation.h"

namespace tovrin {

// Incomplete: the file ended before its end marker (a drawing still being
// written, or cut short); it is not plotted.
enum class DrawingEnd { Finished, Aborted, Rejected, Incomplete };

// Runs the cycle from word 1 until the end marker, the end of the file (or
// a command cut off by it), a rejection or an abort. `keep_going` is asked before
// every top-level word; false aborts the drawing.
DrawingEnd RunReaderCycle(Translation& tr, const std::function<bool()>& keep_going);

struct DrawingResult {
  DrawingEnd end = DrawingEnd::Finished;
  std::string reason;  // why a drawing was rejected
};

// One whole drawing: preamble, reader cycle, trailer (also after an abort).
DrawingResult TranslateDrawing(JobContext& job, std::span<const uint8_t> ofi, GlfWriter& out,
                               const std::function<bool()>& keep_going);

}  // namespace tovrin
