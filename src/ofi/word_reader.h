// Bounded reader over the 16-bit little-endian words of an OFI drawing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tovrin {

class WordReader {
 public:
  WordReader() = default;
  explicit WordReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  // Number of whole words in the drawing.
  size_t WordCount() const { return bytes_.size() / 2; }

  // 1-based cursor; the word at the cursor is the current word.
  size_t WordPosition() const { return position_; }
  void SetWordPosition(size_t position) { position_ = position; }
  void Advance() { ++position_; }

  // True while the cursor is on a word of the file.
  bool AtWord() const { return position_ >= 1 && position_ <= WordCount(); }

  // True when the `count` words after the cursor are all in the file.
  bool Available(size_t count) const {
    return position_ <= WordCount() && count <= WordCount() - position_;
  }

  // The word at a 1-based position; 0 past the end (never read out of bounds).
  uint16_t WordAt(size_t position) const {
    if (position < 1 || position > WordCount()) return 0;
    size_t i = 2 * (position - 1);
    return static_cast<uint16_t>(bytes_[i] | (bytes_[i + 1] << 8));
  }
  // The bytes of a word the caller has made sure is in the file (a record
  // whose length the dispatch checked); no bounds test.
  const uint8_t* WordBytes(size_t position) const { return bytes_.data() + 2 * (position - 1); }
  uint16_t Current() const { return WordAt(position_); }
  // The word `offset` places after the cursor, without moving it.
  uint16_t Peek(size_t offset) const { return WordAt(position_ + offset); }

  // Advance by one and return the word there; low and high bytes are kept.
  uint16_t ReadWord() {
    ++position_;
    uint16_t w = Current();
    low_ = static_cast<uint8_t>(w & 0xFF);
    high_ = static_cast<uint8_t>(w >> 8);
    return w;
  }
  uint16_t ReadUnsigned() { return ReadWord(); }
  int16_t ReadSigned() { return static_cast<int16_t>(ReadWord()); }

  // A count, length or long value held in two words, the low word first.
  uint32_t ReadDoubleWord() {
    const uint32_t low = ReadUnsigned();
    const uint32_t high = ReadUnsigned();
    return low + (high << 16);
  }
  uint32_t PeekDoubleWord(size_t offset) const {
    return Peek(offset) + (static_cast<uint32_t>(Peek(offset + 1)) << 16);
  }

  uint8_t Low() const { return low_; }
  uint8_t High() const { return high_; }

 private:
  std::span<const uint8_t> bytes_;
  size_t position_ = 1;
  uint8_t low_ = 0;
  uint8_t high_ = 0;
};

}  // namespace tovrin
