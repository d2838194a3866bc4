#include "glf/glf_marks.h"

#include <bit>
#include <cstring>
#include <string_view>

#include "glf/encoded_number.h"

namespace tovrin {

namespace glf_marks {

uint64_t PackPattern(const NumberPattern& pattern) {
  return static_cast<uint64_t>(pattern.min_integer_digits) << 32 |
         static_cast<uint64_t>(pattern.min_fraction_digits) << 16 |
         static_cast<uint64_t>(pattern.fraction_digits);
}

}  // namespace glf_marks

namespace {

using glf_marks::Kind;

NumberPattern UnpackPattern(uint64_t word) {
  NumberPattern pattern("");
  pattern.min_integer_digits = static_cast<int>(word >> 32);
  pattern.min_fraction_digits = static_cast<int>(word >> 16 & 0xFFFF);
  pattern.fraction_digits = static_cast<int>(word & 0xFFFF);
  return pattern;
}

struct Mark {
  size_t at;
  Kind kind;
  size_t count;
};
Mark ReadHeader(uint64_t header) {
  return {static_cast<size_t>(header >> 24), static_cast<Kind>(header >> 20 & 0xF),
          static_cast<size_t>(header & glf_marks::kMaxCount)};
}
size_t PayloadWords(const Mark& m) {
  return m.kind == glf_marks::kValues ? m.count : glf_marks::kNumberWords - 1;
}

// The most bytes the piece can come to.
size_t MostBytes(size_t size, const uint64_t* marks, size_t mark_words) {
  size_t most = size;
  for (size_t i = 0; i < mark_words;) {
    const Mark m = ReadHeader(marks[i]);
    most += m.kind == glf_marks::kValues ? m.count * kMaxEncodedDigits : kMaxNumberText;
    i += 1 + PayloadWords(m);
  }
  return most;
}

// The plain bytes between two marks; there may be none, nor any buffer yet.
char* CopyPlain(char* p, const char* from, size_t count) {
  if (count) std::memcpy(p, from, count);
  return p + count;
}

char* WriteValues(char* p, const uint64_t* values, size_t count) {
  for (size_t i = 0; i < count; ++i) p = EncodeAt(p, static_cast<int64_t>(values[i]));
  return p;
}

}  // namespace

char* ByteBuffer::Reserve(size_t size) {
  if (size > capacity) {
    data.reset(new char[size]);
    capacity = size;
  }
  return data.get();
}

size_t WriteMarkedPiece(const char* bytes, size_t size, const uint64_t* marks, size_t mark_words,
                        ByteBuffer& out) {
  char* const start = out.Reserve(MostBytes(size, marks, mark_words));
  char* p = start;
  size_t copied = 0;
  for (size_t i = 0; i < mark_words;) {
    const Mark m = ReadHeader(marks[i]);
    p = CopyPlain(p, bytes + copied, m.at - copied);
    copied = m.at;
    if (m.kind == glf_marks::kValues) {
      p = WriteValues(p, marks + i + 1, m.count);
    } else {
      p = WriteNumberAt(p, std::bit_cast<double>(marks[i + 1]), UnpackPattern(marks[i + 2]));
    }
    i += 1 + PayloadWords(m);
  }
  p = CopyPlain(p, bytes + copied, size - copied);
  return static_cast<size_t>(p - start);
}

}  // namespace tovrin
