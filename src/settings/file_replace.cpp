// Writing a file so that a failure never leaves it half written: a
// temporary file beside it, renamed over it; links written through; the old
// file kept as a backup on request.
#include "settings/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace tovrin {
namespace {

// A hidden name beside `path`, for mkstemp.
std::string TempPattern(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "/." + name + ".XXXXXX";
}

// The mode the file had, or the usual one for a new file.
mode_t ModeFor(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return st.st_mode & 07777;
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Writes a temporary file beside `path` and renames it over the old one, so
// a failure leaves the old file as it was.
bool CopyFileBytes(const std::string& from, const std::string& to, std::string& error) {
  int in = ::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat st {};
  if (in < 0 || ::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = "cannot read " + from + (in < 0 ? std::string(": ") + std::strerror(errno) : "");
    if (in >= 0) ::close(in);
    return false;
  }
  std::string bytes;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = "cannot read " + from + ": " + std::strerror(errno);
      ::close(in);
      return false;
    }
    if (n == 0) break;
    bytes.append(buf, static_cast<size_t>(n));
  }
  ::close(in);
  return ReplaceFile(to, bytes, error);
}

}  // namespace

bool ReplaceFile(const std::string& path, const std::string& bytes, std::string& error) {
  std::string temp = TempPattern(path);
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  temp = name.data();
  bool ok = ::fchmod(fd, ModeFor(path)) == 0 && WriteAll(fd, bytes) && ::fsync(fd) == 0;
  int saved = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    error = "cannot write " + path + ": " + std::strerror(saved);
  }
  return ok;
}

// The file a save writes: a symbolic link is followed (also a dangling
// one), so the settings go where the link points and the link stays.
std::optional<std::string> LinkTarget(const std::string& path, std::string& error) {
  constexpr int kMaxLinks = 40;
  std::string current = path;
  for (int i = 0; i < kMaxLinks; ++i) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4095) + 1);
    ssize_t n = ::readlink(current.c_str(), buf.data(), buf.size());
    if (n < 0 || static_cast<size_t>(n) >= buf.size()) {
      error = "cannot follow the link " + current + ": " + std::strerror(errno);
      return std::nullopt;
    }
    std::string link(buf.data(), static_cast<size_t>(n));
    size_t slash = current.rfind('/');
    if (link.empty() || link[0] == '/' || slash == std::string::npos)
      current = link;
    else
      current = current.substr(0, slash + 1) + link;
  }
  error = "cannot follow the link " + path + ": too many levels";
  return std::nullopt;
}

// Keeps the file at `target` as `backup` (replacing an older backup). A
// missing file needs no backup.
bool KeepBackup(const std::string& target, const std::string& backup, std::string& error) {
  struct stat st {};
  if (::lstat(target.c_str(), &st) != 0 && errno == ENOENT) return true;
  // A hard link keeps the exact bytes even of a file this user cannot read.
  std::string temp = backup + ".tmp";
  ::unlink(temp.c_str());
  if (::link(target.c_str(), temp.c_str()) == 0) {
    if (::rename(temp.c_str(), backup.c_str()) == 0) return true;
    ::unlink(temp.c_str());
  }
  if (CopyFileBytes(target, backup, error)) return true;
  error = "the old settings could not be kept as " + backup + " (" + error + "); not saved";
  return false;
}

}  // namespace tovrin
