// HP-GL/2 polyline-encoded numbers (base 64, 8-bit mode).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "glf/encoded_number.h"
#include "glf/glf_writer.h"

namespace tovrin {

// Writes each value's digits (see EncodeAt), nothing between or after.
void EncodePoints(GlfWriter& out, std::initializer_list<int64_t> values);
void EncodeValue(GlfWriter& out, int64_t value);
// The PE frame around the values: `before` (e.g. "PE<="), the encoded
// values, then `after` (e.g. ";").
inline void WritePoints(GlfWriter& out, std::string_view before,
                        std::initializer_list<int64_t> values, std::string_view after) {
  out.Write(before);
  int64_t* v = out.ValuesRoom(values.size());
  for (int64_t value : values) *v++ = value;
  out.CommitValues(v);
  out.Write(after);
}

}  // namespace tovrin
