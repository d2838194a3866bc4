// Bounded reader over the 16-bit little-endian words of an OFI drawing.
//
// The words come either from bytes in memory or from a source read through
// a fixed window, so that a drawing of any size needs the same memory. The
// window is only a cache: every word read is the drawing's word at that
// position, or 0 past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tovrin {

class NextWindow;

// Where a windowed reader gets its bytes (a drawing file).
class WordSource {
 public:
  virtual ~WordSource() = default;
  // Fills `into` with up to `size` bytes from `offset`; returns how many it
  // read, fewer only when the source ended early or failed.
  virtual size_t ReadAt(uint64_t offset, uint8_t* into, size_t size) = 0;
};

class WordReader {
 public:
  // Words of a window; a record longer than this is read in pieces.
  static constexpr size_t kWindowWords = 256 * 1024;
  // The most words WordBytes hands out at once; a window is never smaller
  // (unless the whole drawing is).
  static constexpr size_t kMaxRunWords = 512;

  WordReader();
  explicit WordReader(std::span<const uint8_t> bytes);
  // A drawing of `size_bytes` read from `source` as it is needed, through a
  // window of `window_words` (at least kMaxRunWords). With `read_ahead`, a
  // drawing of more than a few windows has its next window read on a second
  // thread (when one can be started) while this one is translated; the
  // source is then read from that thread too, never from both at once.
  enum class ReadAhead { Off, On };
  WordReader(WordSource& source, uint64_t size_bytes, size_t window_words = kWindowWords,
             ReadAhead read_ahead = ReadAhead::Off);
  ~WordReader();
  WordReader(WordReader&&) noexcept;
  WordReader& operator=(WordReader&&) noexcept;

  // Number of whole words in the drawing.
  size_t WordCount() const { return word_count_; }

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
    const size_t i = position - window_first_;  // wraps below the window
    if (i < window_words_) return Load(window_ + 2 * i);
    return WordOutsideWindow(position);
  }
  // The bytes of `count` words from `position`, all of which the caller has
  // made sure are in the file (a record whose length the dispatch checked);
  // `count` is at most kMaxRunWords.
  const uint8_t* WordBytes(size_t position, size_t count) const {
    const size_t i = position - window_first_;
    if (i >= window_words_ || count > window_words_ - i) MoveWindow(position, count);
    return window_ + 2 * (position - window_first_);
  }
  uint16_t Current() const { return WordAt(position_); }
  // The word `offset` places after the cursor, without moving it.
  uint16_t Peek(size_t offset) const { return WordAt(position_ + offset); }

  // Advance by one and return the word there.
  uint16_t ReadWord() {
    ++position_;
    return Current();
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

  // True when the source gave fewer bytes than the drawing had when it was
  // opened (it shrank while being read); the missing words read as 0.
  bool ShortRead() const { return short_read_; }
  // Why the drawing is read without reading ahead although that was asked
  // for, when no thread could be started; set as the reader is made.
  const std::string& ReadAheadNote() const { return read_ahead_note_; }

 private:
  static uint16_t Load(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }
  uint16_t WordOutsideWindow(size_t position) const;
  void MoveWindow(size_t position, size_t count) const;
  bool TakeWindowReadAhead(size_t first, size_t end) const;
  void ReadWindow(size_t first) const;
  void FillWindow(uint8_t* into, size_t words, size_t got) const;

  size_t word_count_ = 0;
  size_t position_ = 1;
  // The words window_first_ .. window_first_ + window_words_ - 1 are at window_.
  // Moving the window changes what is cached, never what is read.
  WordSource* source_ = nullptr;
  mutable std::unique_ptr<uint8_t[]> buffer_;
  size_t buffer_words_ = 0;
  mutable const uint8_t* window_ = nullptr;
  mutable size_t window_first_ = 1;
  mutable size_t window_words_ = 0;
  mutable bool short_read_ = false;
  // The window after this one, being read on the second thread.
  std::unique_ptr<NextWindow> next_;
  std::string read_ahead_note_;
};

}  // namespace tovrin
