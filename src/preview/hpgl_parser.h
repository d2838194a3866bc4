// Reads the HP-GL/2 of a GLF (with its PCL framing) into a display list.
// Any bytes are accepted: unknown instructions are skipped, a malformed
// number ends its instruction, and the work is bounded by the limits.
#pragma once

#include <cstddef>
#include <string_view>

#include "preview/plot_picture.h"

namespace tovrin::preview {

struct ParseLimits {
  size_t max_points = 10'000'000;   // stroke, arc and polygon points in all
  size_t max_labels = 1'000'000;
  size_t max_label_chars = 4096;    // per LB
};

PlotPicture ParseGlf(std::string_view bytes, const ParseLimits& limits = {});

}  // namespace tovrin::preview
