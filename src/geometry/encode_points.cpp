#include "geometry/encode_points.h"

#include "glf/glf_writer.h"

namespace tovrin {

void EncodeValue(GlfWriter& out, int64_t value) { EncodePoints(out, {value}); }

void EncodePoints(GlfWriter& out, std::initializer_list<int64_t> values) {
  WritePoints(out, {}, values, {});
}

}  // namespace tovrin
