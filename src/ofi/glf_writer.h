// Buffered byte sink for one GLF file (or an in-memory GLF).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

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
    buffer_.push_back(static_cast<char>(byte));
    if (file_ && buffer_.size() >= kFlushSize) Flush();
  }

  void WritePreamble();
  void WriteTrailer(int copy_count);

  // Flushes and closes the file; false when any write failed.
  bool Close();
  bool Failed() const { return failed_; }
  const std::string& ErrorText() const { return error_; }

  // Bytes written so far (in-memory writer only; a file writer keeps only
  // what has not been flushed yet).
  const std::string& Bytes() const { return buffer_; }
  uint64_t BytesWritten() const { return flushed_ + buffer_.size(); }

 private:
  static constexpr size_t kFlushSize = 1 << 20;
  void Append(std::string_view bytes) {
    buffer_.append(bytes);
    if (file_ && buffer_.size() >= kFlushSize) Flush();
  }
  void Flush();

  std::FILE* file_ = nullptr;
  std::string buffer_;
  uint64_t flushed_ = 0;
  bool failed_ = false;
  std::string error_;
};

}  // namespace tovrin
