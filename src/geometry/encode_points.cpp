#include "geometry/encode_points.h"

#include <string_view>

#include "ofi/glf_writer.h"

namespace tovrin {
namespace {

constexpr size_t kMaxDigits = 11;  // 64 bits in 6-bit digits

// The whole GLF is bytes, so the digits go out as they are: lead bytes of
// code page 932 included.
size_t EncodeInto(char* p, int64_t value) {
  uint64_t n = value >= 0 ? 2 * static_cast<uint64_t>(value)
                          : 2 * (0 - static_cast<uint64_t>(value)) + 1;
  size_t size = 0;
  while (n >= 64) {
    p[size++] = static_cast<char>(n % 64 + 63);
    n /= 64;
  }
  p[size++] = static_cast<char>(n + 191);
  return size;
}

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

void WritePoints(GlfWriter& out, std::string_view before, std::initializer_list<int64_t> values,
                 std::string_view after) {
  constexpr size_t kFrame = 16;
  char bytes[kFrame + 4 * kMaxDigits + kFrame];
  if (before.size() > kFrame || after.size() > kFrame || values.size() > 4) {
    out.Write(before);
    EncodePoints(out, values);
    out.Write(after);
    return;
  }
  size_t size = before.copy(bytes, before.size());
  for (int64_t v : values) size += EncodeInto(bytes + size, v);
  size += after.copy(bytes + size, after.size());
  out.Write(std::string_view(bytes, size));
}

}  // namespace tovrin
