// A piece of GLF on its way out: its plain bytes, and marks saying where
// polyline-encoded values and decimal numbers go in between them. The job's
// thread records the values; their digits are written when the piece is
// written out, on the writing thread for a big GLF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "glf/format_number.h"

namespace tovrin {

namespace glf_marks {
// A mark is a header word, then its payload words: `count` values, or a
// number's bits and its pattern. The header holds the offset in the plain
// bytes the mark's text goes before.
enum Kind : uint64_t { kValues = 0, kNumber = 1 };
inline constexpr size_t kMaxCount = (size_t{1} << 20) - 1;
inline constexpr uint64_t Header(size_t at, Kind kind, size_t count) {
  return static_cast<uint64_t>(at) << 24 | kind << 20 | count;
}
inline constexpr size_t kNumberWords = 3;  // header, value, pattern
uint64_t PackPattern(const NumberPattern& pattern);
}  // namespace glf_marks

// Bytes that grow to what they must hold and never shrink.
struct ByteBuffer {
  std::unique_ptr<char[]> data;
  size_t capacity = 0;
  char* Reserve(size_t size);
};

// Writes the piece whole into `out`: the plain bytes with each mark's text
// in its place; returns the number of bytes.
size_t WriteMarkedPiece(const char* bytes, size_t size, const uint64_t* marks, size_t mark_words,
                        ByteBuffer& out);

}  // namespace tovrin
