// Expected polyline-encoded bytes, from a small encoder of the tests' own:
// written from the HP-GL/2 rules (sign in the lowest bit, base 64, least
// significant digit first, 63..126 for the digits before the last, 191..254
// for the last), so a fault in the production encoder cannot hide in both.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace tovrin::test {

inline std::string EncodeOne(int64_t value) {
  const uint64_t magnitude = value < 0 ? static_cast<uint64_t>(-(value + 1)) + 1 : value;
  uint64_t folded = magnitude * 2 + (value < 0 ? 1 : 0);
  std::vector<unsigned> digits;
  do {
    digits.push_back(static_cast<unsigned>(folded % 64));
    folded /= 64;
  } while (folded != 0);
  std::string bytes;
  for (size_t i = 0; i < digits.size(); ++i) {
    const bool last = i + 1 == digits.size();
    bytes += static_cast<char>((last ? 191 : 63) + digits[i]);
  }
  return bytes;
}

// The values' digits one after another, nothing between them.
inline std::string Enc(std::initializer_list<int64_t> values) {
  std::string bytes;
  for (int64_t v : values) bytes += EncodeOne(v);
  return bytes;
}

}  // namespace tovrin::test
