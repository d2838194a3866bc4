#include "ofi/word_reader.h"

#include <algorithm>
#include <cstring>

namespace tovrin {

WordReader::WordReader(WordSource& source, uint64_t size_bytes, size_t window_words)
    : word_count_(static_cast<size_t>(size_bytes / 2)),
      source_(&source),
      buffer_words_(
          std::max<size_t>(1, std::min(std::max(window_words, kMaxRunWords), word_count_))),
      window_first_(1) {
  buffer_ = std::make_unique<uint8_t[]>(2 * buffer_words_);
  window_ = buffer_.get();
}

uint16_t WordReader::WordOutsideWindow(size_t position) const {
  if (position < 1 || position > word_count_) return 0;
  MoveWindow(position, 1);
  const size_t i = position - window_first_;
  return i < window_words_ ? Load(window_ + 2 * i) : 0;
}

// Reads a window holding `count` words from `position`. It starts at the
// cursor when that keeps the cursor's record in it too, as a command looks
// ahead from its command word and then reads on from there.
void WordReader::MoveWindow(size_t position, size_t count) const {
  if (!source_ || position < 1 || position > word_count_) return;
  size_t first = position;
  if (position_ >= 1 && position_ < position && position - position_ + count <= buffer_words_)
    first = position_;
  const size_t words = std::min(buffer_words_, word_count_ - first + 1);
  uint8_t* into = buffer_.get();
  const size_t wanted = 2 * words;
  const size_t got = source_->ReadAt(2 * static_cast<uint64_t>(first - 1), into, wanted);
  if (got < wanted) {
    std::memset(into + got, 0, wanted - got);
    short_read_ = true;
  }
  window_ = into;
  window_first_ = first;
  window_words_ = words;
}

}  // namespace tovrin
