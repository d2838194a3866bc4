#include "platform/drawing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace tovrin {
namespace {

// Smaller drawings are read in one go anyway.
constexpr uint64_t kReadAheadFrom = 1 << 20;

}  // namespace

DrawingFile::~DrawingFile() { Close(); }

DrawingFile::DrawingFile(DrawingFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

DrawingFile& DrawingFile::operator=(DrawingFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void DrawingFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

ReadResult DrawingFile::Open(const std::string& path, uint64_t max_bytes, FileStamp& stamp,
                             std::string& error) {
  Close();
  // Non-blocking, so that opening a FIFO never waits for a writer; never
  // through a link, which could name another user's drawing.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
  if (fd < 0) {
    const int open_error = errno;
    if (open_error == ELOOP) {
      error = "is a symbolic link";
      return ReadResult::NotAFile;
    }
    error = open_error == ENOENT ? kVanishedText : std::strerror(open_error);
    return open_error == ENOENT ? ReadResult::Vanished : ReadResult::Failed;
  }
  struct stat st {};
  ReadResult result = ReadResult::Ok;
  if (::fstat(fd, &st) != 0) {
    error = std::strerror(errno);
    result = ReadResult::Failed;
  } else if (stamp = StampFrom(st); !stamp.regular) {
    error = S_ISDIR(st.st_mode) ? "is a folder" : "is not a plain file";
    result = ReadResult::NotAFile;
  } else if (stamp.size > max_bytes) {
    error = std::to_string(stamp.size) + " bytes, more than the " + std::to_string(max_bytes) +
            " bytes a drawing may have";
    result = ReadResult::TooLarge;
  }
  if (result != ReadResult::Ok) {
    ::close(fd);
    return result;
  }
  // O_NONBLOCK stays: it does not change how a plain file reads.
  if (stamp.size > kReadAheadFrom) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  fd_ = fd;
  return result;
}

size_t DrawingFile::ReadAt(uint64_t offset, uint8_t* into, size_t size) const {
  size_t done = 0;
  while (fd_ >= 0 && done < size) {
    const ssize_t n = ::pread(fd_, into + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

std::optional<FileStamp> DrawingFile::StampNow() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return std::nullopt;
  return StampFrom(st);
}

}  // namespace tovrin
