// A point of the drawing as the OFI file holds it: two unsigned words.
#pragma once

#include <cstddef>

#include "ofi/word_reader.h"

namespace tovrin {

struct OfiPoint {
  double x = 0;  // first word
  double y = 0;  // second word
};

inline OfiPoint ReadPoint(WordReader& reader) {
  OfiPoint p;
  p.x = reader.ReadUnsigned();
  p.y = reader.ReadUnsigned();
  return p;
}

// The point `offset` words after the cursor, without moving it.
inline OfiPoint PeekPoint(const WordReader& reader, size_t offset) {
  return {static_cast<double>(reader.Peek(offset)), static_cast<double>(reader.Peek(offset + 1))};
}

}  // namespace tovrin
