#include "platform/folder.h"

#include <fcntl.h>
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

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
  if (!ok) error = S_ISDIR(st.st_mode) ? "is a folder" : std::strerror(errno);
  bytes.clear();
  if (ok) bytes.resize(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (ok) {
    if (done == bytes.size()) bytes.resize(bytes.size() + 65536);  // file grew
    ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = std::strerror(errno);
      ok = false;
    } else if (n == 0) {
      break;
    } else {
      done += static_cast<size_t>(n);
    }
  }
  ::close(fd);
  bytes.resize(ok ? done : 0);
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

}  // namespace tovrin
