#include "geometry/encode_points.h"

#include <string_view>

#include "ofi/glf_writer.h"

namespace tovrin {
namespace {
constexpr size_t kMaxDigits = kMaxEncodedDigits;
}  // namespace

void EncodeValue(GlfWriter& out, int64_t value) {
  char digits[kMaxDigits];
  out.Write(std::string_view(digits, EncodeInto(digits, value)));
}

void EncodePoints(GlfWriter& out, std::initializer_list<int64_t> values) {
  char digits[4 * kMaxDigits];
  size_t size = 0;
  for (int64_t v : values) {
    if (size + kMaxDigits > sizeof digits) {
      out.Write(std::string_view(digits, size));
      size = 0;
    }
    size += EncodeInto(digits + size, v);
  }
  out.Write(std::string_view(digits, size));
}

void PointWriter::Flush() {
  if (size_ == 0) return;
  out_.Write(std::string_view(bytes_, size_));
  size_ = 0;
}

}  // namespace tovrin
