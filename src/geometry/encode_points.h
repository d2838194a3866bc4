// HP-GL/2 polyline-encoded numbers (base 64, 8-bit mode).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace tovrin {

class GlfWriter;

// Writes each value's digits as raw bytes: the sign folded into the lowest
// bit, least significant digit first, non-final digits 63..126, the final
// digit 191..254. Nothing between or after the values.
void EncodePoints(GlfWriter& out, std::initializer_list<int64_t> values);
void EncodeValue(GlfWriter& out, int64_t value);
// The PE frame around the values, all in one write: `before` (at most 16
// bytes, e.g. "PE<="), the encoded values, then `after` (e.g. ";").
void WritePoints(GlfWriter& out, std::string_view before, std::initializer_list<int64_t> values,
                 std::string_view after);

}  // namespace tovrin
