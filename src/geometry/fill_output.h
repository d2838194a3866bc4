// Pieces shared by the filled shapes: wide lines, wide arcs and areas.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "glf/format_number.h"

namespace tovrin {

struct Translation;

// "x,y" of an arc centre as AA wants it: plotter x from CY, y from CX,
// each rounded with "########" (a value rounding to 0 leaves its field
// empty). A field that is not finite rejects the drawing and stays empty.
struct CentreFields {
  NumberText x, y;
  CentreFields(Translation& tr, double cx, double cy);
};
// An OFI length in plotter units with "########" (circle radii).
struct PlotterLength : NumberText {
  PlotterLength(Translation& tr, double ofi_length);
};
// Radians as degrees with "###.0####".
struct Degrees : NumberText {
  Degrees(Translation& tr, double radians);
};

}  // namespace tovrin
