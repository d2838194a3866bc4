// Buffered byte sink for one GLF file (or an in-memory GLF).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "ofi/encoded_number.h"
#include "ofi/format_number.h"
#include "ofi/glf_marks.h"
#include "ofi/write_behind.h"

namespace tovrin {

// The plain bytes go into a buffer as they are; polyline-encoded values and
// decimal numbers are recorded as marks between them and written as digits
// when the buffer is written out. For a GLF over a megabyte that happens on
// a second thread, beside the translation.
class GlfWriter {
 public:
  // An in-memory writer; Bytes() holds everything written.
  GlfWriter() = default;
  ~GlfWriter();
  GlfWriter(const GlfWriter&) = delete;
  GlfWriter& operator=(const GlfWriter&) = delete;

  // Creates (truncates) the file; false with `error` set when it cannot.
  bool Open(const std::string& path, std::string& error);

  // Appends the items' bytes one after another, nothing between or after.
  template <typename... Items>
  void Write(const Items&... items) {
    (Append(std::string_view(items)), ...);
  }
  void WriteRawByte(uint8_t byte) {
    *Room(1) = static_cast<char>(byte);
    Commit(cursor_ + 1);
  }

  // Direct output for the hot paths: Room(n) returns where the next byte
  // goes, with at least n bytes free; Commit(end) keeps what was written up
  // to `end`. Nothing else may be written between the two.
  char* Room(size_t n) {
    if (static_cast<size_t>(end_ - cursor_) < n) MakeRoom(n);
    return cursor_;
  }
  void Commit(char* end) {
    cursor_ = end;
    if (file_ && Buffered() >= kFlushSize) Flush();
  }

  // Polyline-encoded values, the same way: ValuesRoom(n) returns where up to
  // n values go (n at most glf_marks::kMaxCount), CommitValues(end) keeps
  // those written up to `end`.
  int64_t* ValuesRoom(size_t n) {
    if (static_cast<size_t>(marks_end_ - marks_cursor_) < n + 1) MakeMarkRoom(n + 1);
    return reinterpret_cast<int64_t*>(marks_cursor_ + 1);
  }
  void CommitValues(const int64_t* end) {
    const int64_t* first = reinterpret_cast<const int64_t*>(marks_cursor_ + 1);
    const size_t count = static_cast<size_t>(end - first);
    if (count == 0) return;
    if (file_) {
      marked_bytes_ += count;  // a digit each; counted whole when written out
    } else {
      for (const int64_t* v = first; v < end; ++v) marked_bytes_ += EncodedLength(*v);
    }
    *marks_cursor_ = glf_marks::Header(Buffered(), glf_marks::kValues, count);
    marks_cursor_ += 1 + count;
    if (file_ && MarkWords() >= kFlushMarkWords) Flush();
  }
  // The same text as FormatNumber.
  void WriteNumber(double value, const NumberPattern& pattern);

  void WritePreamble();
  void WriteTrailer(int copy_count);

  // Writes out everything written so far and waits for it: BytesWritten is
  // then exact. False when any write failed.
  bool Drain();
  // Drains and closes the file; false when any write failed. `to_disk`:
  // and waits until the file's bytes are on the disk. A big GLF is written
  // on a second thread, so a failed write may be known only here.
  bool Close(bool to_disk = false);
  const std::string& ErrorText() const { return error_; }

  // A copy of everything written (in-memory writer only; a file writer
  // keeps only what has not been written out yet). Meant for tests and
  // previews.
  std::string Bytes() const;
  // Bytes of the GLF so far: exact after Drain or Close. Before, the
  // digits still to be written are counted cheaply: a number as
  // kNumberGuess bytes, a value of a file writer as one byte (a plotter
  // coordinate takes one to four), of an in-memory writer exactly.
  uint64_t BytesWritten() const { return written_ + handed_ + Buffered() + marked_bytes_; }

 private:
  static constexpr size_t kFlushSize = 1 << 20;
  static constexpr size_t kFlushMarkWords = 64 * 1024;
  static constexpr size_t kNumberGuess = 8;
  size_t Buffered() const { return static_cast<size_t>(cursor_ - data_.get()); }
  size_t MarkWords() const { return static_cast<size_t>(marks_cursor_ - marks_.get()); }
  void Append(std::string_view bytes) {
    if (bytes.empty()) return;
    char* p = Room(bytes.size());
    std::memcpy(p, bytes.data(), bytes.size());
    Commit(p + bytes.size());
  }
  // Flushes a file writer, grows an in-memory one, until n bytes are free.
  void MakeRoom(size_t n);
  void MakeMarkRoom(size_t words);
  void Grow(size_t n);
  void GrowMarks(size_t words);
  void Flush();
  void WriteOut(size_t size, size_t mark_words);
  void HandOver(size_t size, size_t mark_words);
  bool FinishWriteBehind();

  std::FILE* file_ = nullptr;
  // Started at the second flush: a GLF of a megabyte or less never starts a
  // thread.
  std::unique_ptr<WriteBehind> behind_;
  std::unique_ptr<char[]> data_;
  char* cursor_ = nullptr;
  char* end_ = nullptr;
  std::unique_ptr<uint64_t[]> marks_;
  uint64_t* marks_cursor_ = nullptr;
  uint64_t* marks_end_ = nullptr;
  ByteBuffer out_;             // the first megabyte's bytes with their digits
  uint64_t written_ = 0;       // bytes written out, exactly
  uint64_t handed_ = 0;        // bytes handed to the writing thread, as counted
  uint64_t marked_bytes_ = 0;  // digits of the buffered marks, as counted
  bool failed_ = false;
  std::string error_;
};

}  // namespace tovrin
