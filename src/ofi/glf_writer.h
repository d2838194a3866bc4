// Buffered byte sink for one GLF file (or an in-memory GLF).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "ofi/write_behind.h"

namespace tovrin {

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
    if (file_ && static_cast<size_t>(cursor_ - data_.get()) >= kFlushSize) Flush();
  }

  void WritePreamble();
  void WriteTrailer(int copy_count);

  // Flushes and closes the file; false when any write failed. `to_disk`:
  // and waits until the file's bytes are on the disk. A big GLF is written
  // on a second thread, so a failed write may be known only here.
  bool Close(bool to_disk = false);
  const std::string& ErrorText() const { return error_; }

  // Bytes written so far (in-memory writer only; a file writer keeps only
  // what has not been flushed yet).
  // A copy: meant for the in-memory writer of tests and previews.
  std::string Bytes() const { return {data_.get(), Buffered()}; }
  uint64_t BytesWritten() const { return flushed_ + Buffered(); }

 private:
  static constexpr size_t kFlushSize = 1 << 20;
  size_t Buffered() const { return static_cast<size_t>(cursor_ - data_.get()); }
  void Append(std::string_view bytes) {
    if (bytes.empty()) return;
    char* p = Room(bytes.size());
    std::memcpy(p, bytes.data(), bytes.size());
    Commit(p + bytes.size());
  }
  // Flushes a file writer, grows an in-memory one, until n bytes are free.
  void MakeRoom(size_t n);
  void Grow(size_t n);
  void Flush();
  void HandOver(size_t size);
  bool FinishWriteBehind();

  std::FILE* file_ = nullptr;
  // Started at the second flush: a GLF of a megabyte or less never starts a
  // thread.
  std::unique_ptr<WriteBehind> behind_;
  std::unique_ptr<char[]> data_;
  char* cursor_ = nullptr;
  char* end_ = nullptr;
  uint64_t flushed_ = 0;
  bool failed_ = false;
  std::string error_;
};

}  // namespace tovrin
