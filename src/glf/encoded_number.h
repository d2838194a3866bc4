// HP-GL/2 polyline-encoded numbers (base 64, 8-bit mode): the sign folded
// into the lowest bit, least significant digit first, non-final digits
// 63..126, the final digit 191..254.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tovrin {

inline constexpr size_t kMaxEncodedDigits = 11;  // 64 bits in 6-bit digits

namespace encoding {
// Two non-final digits (63..126, the low one first) of each 12-bit group,
// as the low and high byte of a 16-bit value.
struct DigitPairs {
  uint16_t pair[4096];
};
constexpr DigitPairs MakeDigitPairs() {
  DigitPairs d{};
  for (unsigned g = 0; g < 4096; ++g)
    d.pair[g] = static_cast<uint16_t>(((g & 63) + 63) | (((g >> 6) + 63) << 8));
  return d;
}
inline constexpr DigitPairs kDigitPairs = MakeDigitPairs();
// Digits after the first of a value of bit width w (1..24).
inline constexpr uint8_t kExtraDigits[25] = {0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1,
                                             2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3};
}  // namespace encoding

// Encodes one value at `p`, which must have kMaxEncodedDigits bytes of room;
// returns the end of its digits. The whole GLF is bytes, so the digits go
// out as they are: lead bytes of code page 932 included.
inline char* EncodeAt(char* p, int64_t value) {
  // The sign into the lowest bit without a branch: moves go either way at
  // random, which no branch predictor follows.
  const uint64_t sign = static_cast<uint64_t>(value >> 63);  // all ones when negative
  const uint64_t n = ((static_cast<uint64_t>(value) ^ sign) - sign) << 1 | (sign & 1);
  if (n < (uint64_t{1} << 24)) [[likely]] {
    // Up to four digits, the plotter's whole range: the four digits as
    // non-final ones in the bytes of one word, then the last one used
    // turned into the final one; the word stored at once.
    const uint32_t m = static_cast<uint32_t>(n);
    const int last = encoding::kExtraDigits[std::bit_width(m | 1)];  // digits - 1
    uint32_t word =
        encoding::kDigitPairs.pair[m & 4095] | uint32_t{encoding::kDigitPairs.pair[m >> 12]} << 16;
    word += uint32_t{0x80} << (8 * last);
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(p, &word, 4);
    } else {
      for (int i = 0; i < 4; ++i) p[i] = static_cast<char>(word >> (8 * i));
    }
    return p + last + 1;
  }
  uint64_t rest = n;
  while (rest >= 64) {
    *p++ = static_cast<char>(rest % 64 + 63);
    rest /= 64;
  }
  *p++ = static_cast<char>(rest + 191);
  return p;
}
inline size_t EncodeInto(char* p, int64_t value) {
  return static_cast<size_t>(EncodeAt(p, value) - p);
}

// The number of digits EncodeAt writes for `value`.
inline size_t EncodedLength(int64_t value) {
  const uint64_t sign = static_cast<uint64_t>(value >> 63);
  const uint64_t n = ((static_cast<uint64_t>(value) ^ sign) - sign) << 1 | (sign & 1);
  if (n < (uint64_t{1} << 24)) [[likely]]
    return encoding::kExtraDigits[std::bit_width(static_cast<uint32_t>(n) | 1)] + size_t{1};
  return (static_cast<size_t>(std::bit_width(n)) + 5) / 6;
}

}  // namespace tovrin
