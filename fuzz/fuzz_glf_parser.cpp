// Any bytes as a GLF for the preview: the parser ends within its budget and
// its display list only points inside itself.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "preview/hpgl_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tovrin::preview;
  ParseLimits limits;
  limits.max_points = 20000;
  limits.max_labels = 500;
  limits.max_label_chars = 64;
  const PlotPicture p =
      ParseGlf(std::string_view(reinterpret_cast<const char*>(data), size), limits);
  FUZZ_CHECK(p.points.size() <= limits.max_points);
  FUZZ_CHECK(p.labels.size() <= limits.max_labels);
  for (const Item& item : p.items) {
    FUZZ_CHECK(item.style < p.styles.size());
    if (item.kind == Item::Kind::Polyline) {
      FUZZ_CHECK(size_t{item.first} + item.count <= p.points.size());
    } else if (item.kind == Item::Kind::Label) {
      FUZZ_CHECK(item.first < p.labels.size());
    } else {
      FUZZ_CHECK(size_t{item.first} + item.count <= p.loops.size());
      for (uint32_t l = 0; l < item.count; ++l) {
        const Loop& loop = p.loops[item.first + l];
        FUZZ_CHECK(size_t{loop.first} + loop.count <= p.points.size());
      }
    }
  }
  return 0;
}
