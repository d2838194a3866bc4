#include "geometry/encode_points.h"

#include "ofi/glf_writer.h"

namespace tovrin {

void EncodeValue(GlfWriter& out, int64_t value) { EncodePoints(out, {value}); }

void EncodePoints(GlfWriter& out, std::initializer_list<int64_t> values) {
  int64_t* v = out.ValuesRoom(values.size());
  for (int64_t value : values) *v++ = value;
  out.CommitValues(v);
}

}  // namespace tovrin
