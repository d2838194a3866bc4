#include "geometry/encode_points.h"

#include "ofi/glf_writer.h"

namespace tovrin {

void EncodeValue(GlfWriter& out, int64_t value) {
  uint64_t n = value >= 0 ? 2 * static_cast<uint64_t>(value)
                          : 2 * (0 - static_cast<uint64_t>(value)) + 1;
  while (n >= 64) {
    out.WriteRawByte(static_cast<uint8_t>(n % 64 + 63));
    n /= 64;
  }
  out.WriteRawByte(static_cast<uint8_t>(n + 191));
}

void EncodePoints(GlfWriter& out, std::initializer_list<int64_t> values) {
  for (int64_t v : values) EncodeValue(out, v);
}

}  // namespace tovrin
