// StreamGlf on a thread of its own. In the preview of a big drawing reading
// the GLF takes about as long as drawing it; with the reading a piece ahead
// on another core the two overlap.
#pragma once

#include <string_view>

#include "preview/hpgl_parser.h"

namespace tovrin::preview {

// As StreamGlf(glf, sink): `sink` gets every piece in order, on the calling
// thread, while the pieces after it are read. An exception from the reading
// comes out of here, one from `sink` stops the reading first.
void StreamGlfAhead(std::string_view glf, const PictureSink& sink);

}  // namespace tovrin::preview
