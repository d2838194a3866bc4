// Reads the HP-GL/2 of a GLF (with its PCL framing) into a display list.
// Any bytes are accepted: unknown instructions are skipped, a malformed
// number ends its instruction, and the work is bounded by the limits.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "preview/plot_picture.h"

namespace tovrin::preview {

struct ParseLimits {
  size_t max_points = 10'000'000;  // stroke, arc and polygon points in all
  size_t max_labels = 1'000'000;
  size_t max_label_chars = 4096;  // per LB
  size_t max_items = 4'000'000;   // strokes, areas and labels in all
};

// For a picture shown on screen, whose display list stays in memory for
// zooming: even the biggest kept drawing (64 MB of GLF) stays within a couple
// of hundred megabytes and a second or two; past it the picture is marked
// simplified.
inline constexpr ParseLimits kViewLimits{.max_points = 4'000'000,
                                         .max_labels = 400'000,
                                         .max_label_chars = 4096,
                                         .max_items = 2'000'000};

PlotPicture ParseGlf(std::string_view bytes, const ParseLimits& limits = {});

// Receives the display list piece by piece while the GLF is read: a piece's
// items refer to its own points, loops and labels only; its styles are all
// styles so far. `read` is how many input bytes are done with. Each piece
// has the sheet as far as it is known; the last one the final sheet and
// page counts.
using PictureSink = std::function<void(const PlotPicture& piece, size_t read)>;

// Reads the GLF in one pass without ever holding its whole display list: a
// piece goes to `sink` whenever it holds `piece_items` items or `piece_points`
// points (the limits apply to each piece). Pieces split stroke runs, so the
// picture may differ from ParseGlf's where a run crosses a piece's end.
void StreamGlf(std::string_view bytes, const PictureSink& sink, size_t piece_items = 65536,
               size_t piece_points = 262144, const ParseLimits& limits = {});

}  // namespace tovrin::preview
