#include "platform/folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <utility>

namespace tovrin {

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) {
    error = ec.message();
    return std::nullopt;
  }
  std::vector<FolderEntry> entries;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    FolderEntry e;
    e.name = it->path().filename().string();
    std::error_code entry_ec;
    e.is_folder = it->is_directory(entry_ec);
    if (!e.is_folder) {
      uint64_t size = it->file_size(entry_ec);
      e.size = entry_ec ? 0 : size;
    }
    entries.push_back(std::move(e));
  }
  if (ec) {
    error = ec.message();
    return std::nullopt;
  }
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return entries;
}

namespace {

// Sizes the buffer for a whole file. A drawing runs to tens of megabytes;
// backing it with huge pages makes the first touch of the buffer about ten
// times cheaper than faulting it in 4 KiB at a time. Only a hint.
void SizeForFile(std::vector<uint8_t>& bytes, size_t size) {
  constexpr uintptr_t kHugePage = uintptr_t{1} << 21;
  if (size >= 2 * kHugePage) {
    bytes.reserve(size);
    const uintptr_t start = reinterpret_cast<uintptr_t>(bytes.data());
    const uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t last = (start + size) & ~(kHugePage - 1);
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
  bytes.resize(size);
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    bytes.clear();
    return false;
  }
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
  if (!ok) error = S_ISDIR(st.st_mode) ? "is a folder" : std::strerror(errno);
  bytes.clear();
  if (ok) SizeForFile(bytes, static_cast<size_t>(st.st_size));
  // Once the buffer is full, further reads go to a small probe so that the
  // common case (the file did not grow) never reallocates and copies it.
  uint8_t probe[16384];
  size_t done = 0;
  while (ok) {
    const bool full = done == bytes.size();
    ssize_t n = full ? ::read(fd, probe, sizeof probe)
                     : ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = std::strerror(errno);
      ok = false;
    } else if (n == 0) {
      break;
    } else {
      if (full) bytes.insert(bytes.end(), probe, probe + n);  // file grew
      done += static_cast<size_t>(n);
    }
  }
  ::close(fd);
  bytes.resize(ok ? done : 0);  // a file that shrank meanwhile ends where the reads did
  return ok;
}

bool RemoveFile(const std::string& path, std::string& error) {
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
  error = std::strerror(errno);
  return false;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string CurrentFolder() {
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::current_path(ec);
  return ec ? "." : folder.string();
}

}  // namespace tovrin

namespace tovrin {

FileStamp StampFrom(const struct stat& st) {
  FileStamp s;
  s.size = static_cast<uint64_t>(st.st_size);
  s.mtime_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
  s.inode = static_cast<uint64_t>(st.st_ino);
  s.regular = S_ISREG(st.st_mode);
  s.link = S_ISLNK(st.st_mode);
  return s;
}

namespace {

std::string ErrnoText(int error_number) {
  return error_number == ENOENT ? kVanishedText : std::strerror(error_number);
}

}  // namespace

std::optional<FileStamp> StampOf(const std::string& path, std::string& error) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    error = ErrnoText(errno);
    return std::nullopt;
  }
  return StampFrom(st);
}

std::optional<std::vector<StampedEntry>> ListStamped(const std::string& folder,
                                                     bool (*wanted)(const std::string& name),
                                                     std::string& error) {
  int dir_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = dir_fd < 0 ? nullptr : ::fdopendir(dir_fd);
  if (!dir) {
    error = std::strerror(errno);
    if (dir_fd >= 0) ::close(dir_fd);
    return std::nullopt;
  }
  std::vector<StampedEntry> entries;
  errno = 0;
  while (const dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == ".." || !wanted(name)) continue;
    struct stat st {};
    // A link in a folder everyone writes into may point at anything: it is
    // reported as a link, never as the file it names.
    if (::fstatat(dir_fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
    entries.push_back({std::move(name), StampFrom(st)});
    errno = 0;
  }
  const int read_error = errno;
  ::closedir(dir);
  if (read_error != 0) {
    error = std::strerror(read_error);
    return std::nullopt;
  }
  std::sort(entries.begin(), entries.end(),
            [](const StampedEntry& a, const StampedEntry& b) { return a.name < b.name; });
  return entries;
}

bool SyncPath(const std::string& path, std::string& error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  bool ok = ::fsync(fd) == 0 || errno == EINVAL;  // EINVAL: a file that cannot be synced
  if (!ok) error = std::strerror(errno);
  ::close(fd);
  return ok;
}

bool RenameFile(const std::string& from, const std::string& to, std::string& error) {
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  error = std::strerror(errno);
  return false;
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

FolderLock::FolderLock(FolderLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

FolderLock::Result FolderLock::TryLock(const std::string& folder, std::string& error) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return Result::Failed;
  }
  // flock on the folder itself: nothing is left behind in the spool folder,
  // and the lock goes with the process however it ends.
  int rc;
  do rc = ::flock(fd, LOCK_EX | LOCK_NB);
  while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const int lock_error = errno;
    ::close(fd);
    error = std::strerror(lock_error);
    return lock_error == EWOULDBLOCK ? Result::Busy : Result::Failed;
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
  return Result::Locked;
}

}  // namespace tovrin
