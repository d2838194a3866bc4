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

// How often the cycle asks whether to go on: before the first word, then
// before the first top-level word once either this many words have been
// read or this many GLF bytes written since the last ask. Asking per word
// cost more than the strokes themselves; at these strides an abort or an
// oversized GLF is still noticed within a millisecond or so of work.
struct AskEvery {
  size_t words = 4096;
  uint64_t glf_bytes = 256 * 1024;
};

// Runs the cycle from word 1 until the end marker, the end of the file (or
// a command cut off by it), a rejection or an abort. `keep_going` is asked
// as `every` says; false aborts the drawing.
DrawingEnd RunReaderCycle(Translation& tr, const std::function<bool()>& keep_going,
                          AskEvery every = {});

struct DrawingResult {
  DrawingEnd end = DrawingEnd::Finished;
  std::string reason;       // why a drawing was rejected
  bool short_read = false;  // the drawing shrank while it was read
};

// One whole drawing: preamble, reader cycle, trailer (also after an abort).
DrawingResult TranslateDrawing(JobContext& job, WordReader words, GlfWriter& out,
                               const std::function<bool()>& keep_going, AskEvery every = {});
inline DrawingResult TranslateDrawing(JobContext& job, std::span<const uint8_t> ofi, GlfWriter& out,
                                      const std::function<bool()>& keep_going,
                                      AskEvery every = {}) {
  return TranslateDrawing(job, WordReader(ofi), out, keep_going, every);
}

}  // namespace tovrin
