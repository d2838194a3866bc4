#include "platform/folder.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

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
    ssize_t n = full ? ::read(fd, probe, sizeof probe) : ::read(fd, bytes.data() + done, bytes.size() - done);
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
