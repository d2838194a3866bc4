// Buffered byte sink for one GLF file (or an in-memory GLF).
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "glf/encoded_number.h"
#include "glf/format_number.h"
#include "glf/glf_marks.h"
#include "glf/write_behind.h"

namespace tovrin {

// The plain bytes go into a buffer as they are; polyline-encoded values and
// decimal numbers are recorded as marks between them and written as digits
// when the buffer is written out. For a GLF over a megabyte that happens on
// a second thread, beside the translation, when one can be started.
//
// Its verbs: Open a file (or none, in memory), Write... the GLF's pieces
// (Room/Commit and ValuesRoom/CommitValues on the hot paths), Flush what is
// buffered or on its way and wait for it, Finish (flush and close, the
// verdict on every write), or Discard a GLF that is not kept.
class GlfWriter {
 public:
  // An in-memory writer; Bytes() holds everything written.
  GlfWriter() = default;
  ~GlfWriter();
  GlfWriter(const GlfWriter&) = delete;
  GlfWriter& operator=(const GlfWriter&) = delete;

  // Creates (truncates) the file; false with `error` set when it cannot.
  bool Open(const std::string& path, std::string& error);
  // Writes to `fd`, a file the caller made (exclusively, say, in a folder
  // others write into); the writer owns it from here on and closes it.
  // False for no descriptor at all.
  bool Open(int fd, std::string& error);
  // No byte goes into the file past `bytes`: each piece's exact size is
  // known before it is written, and once the GLF would pass the limit the
  // rest is counted but withheld, as a GLF that big is refused anyway.
  // Set before the first write.
  void SetSizeLimit(uint64_t bytes) { limit_ = bytes; }

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
    if (fd_ >= 0 && Buffered() >= kPieceSize) SendBuffer();
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
    if (fd_ >= 0) {
      marked_least_ += count;  // a digit at least; counted whole when written out
    } else {
      for (const int64_t* v = first; v < end; ++v) marked_least_ += EncodedLength(*v);
    }
    *marks_cursor_ = glf_marks::Header(Buffered(), glf_marks::kValues, count);
    marks_cursor_ += 1 + count;
    if (fd_ >= 0 && MarkWords() >= kPieceMarkWords) SendBuffer();
  }
  // The same text as FormatNumber.
  void WriteNumber(double value, const NumberPattern& pattern);

  void WritePreamble();
  void WriteTrailer(int copy_count);

  // Writes out everything written so far and waits for it: BytesWritten is
  // then exact. False when any write failed.
  bool Flush();
  // Flushes and closes the file; false when any write failed. `to_disk`:
  // and waits until the file's bytes are on the disk. A big GLF is written
  // on a second thread, so a failed write may be known only here.
  bool Finish(bool to_disk = false);
  // Closes the file without writing what is still buffered or queued (a
  // piece being written is finished): for a GLF that is not kept.
  void Discard();
  const std::string& ErrorText() const { return error_; }
  // Why the GLF was written on the caller's thread alone, when no thread
  // could be started for it; empty when none was needed or one was.
  const std::string& ThreadNote() const { return thread_note_; }

  // A copy of everything written (in-memory writer only; a file writer
  // keeps only what has not been written out yet). Meant for tests and
  // previews.
  std::string Bytes() const;
  // The fewest bytes the GLF so far can come to: exact for what is written
  // out, and for what is still buffered or on its way its plain bytes, a
  // digit for each value and a number's shortest text for its pattern. An
  // in-memory writer's count is exact.
  uint64_t BytesAtLeast() const {
    const uint64_t ahead = behind_ ? handed_least_ + behind_->Excess() : 0;
    return counted_ + ahead + Buffered() + marked_least_;
  }
  // The same; exact after Flush or Finish (but for a GLF that passed its
  // size limit: then past the limit, not exact).
  uint64_t BytesWritten() const { return BytesAtLeast(); }

 private:
  static constexpr size_t kPieceSize = 1 << 20;
  static constexpr size_t kPieceMarkWords = 64 * 1024;
  size_t Buffered() const { return static_cast<size_t>(cursor_ - data_.get()); }
  size_t MarkWords() const { return static_cast<size_t>(marks_cursor_ - marks_.get()); }
  void Append(std::string_view bytes) {
    if (bytes.empty()) return;
    char* p = Room(bytes.size());
    std::memcpy(p, bytes.data(), bytes.size());
    Commit(p + bytes.size());
  }
  // Sends a file writer's buffer out, grows an in-memory one, until n bytes
  // are free.
  void MakeRoom(size_t n);
  void MakeMarkRoom(size_t words);
  void Grow(size_t n);
  void GrowMarks(size_t words);
  // The buffer and its marks go out: written here, or handed to the thread.
  void SendBuffer();
  bool StartWriteBehind();
  void WriteHere(size_t size, size_t mark_words);
  void HandToThread(size_t size, size_t mark_words, uint64_t least);
  bool StopWriteBehind(bool drop);

  int fd_ = -1;
  uint64_t limit_ = UINT64_MAX;
  // Started at the second flush: a GLF of a megabyte or less never starts a
  // thread.
  std::unique_ptr<WriteBehind> behind_;
  std::string thread_note_;
  std::unique_ptr<char[]> data_;
  char* cursor_ = nullptr;
  char* end_ = nullptr;
  std::unique_ptr<uint64_t[]> marks_;
  uint64_t* marks_cursor_ = nullptr;
  uint64_t* marks_end_ = nullptr;
  ByteBuffer out_;             // a piece's bytes with their digits, on this thread
  uint64_t counted_ = 0;       // bytes of the pieces done with, exactly (see WriteBehind)
  uint64_t in_file_ = 0;       // bytes in the file
  uint64_t handed_least_ = 0;  // the least of the pieces handed to the writing thread
  uint64_t marked_least_ = 0;  // the least of the buffered marks
  bool withheld_ = false;      // a piece would have passed the size limit
  bool failed_ = false;
  std::string error_;
};

}  // namespace tovrin
