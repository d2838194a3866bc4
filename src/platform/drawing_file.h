// A drawing opened for reading in pieces, so that its size never decides
// how much memory reading it takes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/folder.h"

namespace tovrin {

enum class ReadResult { Ok, Vanished, NotAFile, TooLarge, Failed };

class DrawingFile {
 public:
  DrawingFile() = default;
  ~DrawingFile();
  DrawingFile(DrawingFile&& other) noexcept;
  DrawingFile& operator=(DrawingFile&& other) noexcept;
  DrawingFile(const DrawingFile&) = delete;
  DrawingFile& operator=(const DrawingFile&) = delete;

  // Opens a plain file, refusing anything else without blocking on it (a
  // FIFO or device is never read, a symbolic link never followed) and a
  // file over `max_bytes`. `stamp` is
  // the file's stamp as opened. Not Ok: nothing is open, `error` says why.
  ReadResult Open(const std::string& path, uint64_t max_bytes, FileStamp& stamp,
                  std::string& error);
  bool IsOpen() const { return fd_ >= 0; }
  // The open file (-1 when none), for what must be done on the very file
  // that was read, such as its plot mark. Still owned by this object.
  int Fd() const { return fd_; }
  void Close();

  // Up to `size` bytes from `offset`; fewer only at the end of the file or
  // on a read error.
  size_t ReadAt(uint64_t offset, uint8_t* into, size_t size) const;

  // The stamp of the open file as it is now; nullopt when it cannot be told.
  std::optional<FileStamp> StampNow() const;

 private:
  int fd_ = -1;
};

}  // namespace tovrin
