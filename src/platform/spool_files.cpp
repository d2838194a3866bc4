#include "platform/spool_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/spool_names.h"

namespace tovrin {
namespace {

constexpr int kRandomNameTries = 16;
constexpr const char* kGlfTempSuffix = ".GLF.tmp";
constexpr const char* kJobPrefix = ".tovrin-";
constexpr const char* kRemovePrefix = ".tovrin-rm-";

// An open folder, closed when it goes.
class Folder {
 public:
  explicit Folder(const std::string& path)
      : fd_(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
  ~Folder() {
    if (fd_ >= 0) ::close(fd_);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

bool EndsWith(const std::string& s, const char* tail) {
  const size_t n = std::strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// An entry of the folder as it is, never its link's target; false when gone.
bool StatEntry(int dir_fd, const std::string& name, struct stat& st) {
  return ::fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

int CreateExclusive(int dir_fd, const std::string& name) {
  // O_EXCL: never an entry someone planted (a link is not followed either,
  // O_NOFOLLOW says so twice); it is the job's own new file or nothing.
  return ::openat(dir_fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
}

// Moves `name` to a fresh hidden name of the job's, given in `aside`; 0 or
// the errno. Replacing is harmless there (the names are the job's own), so a
// file system without RENAME_NOREPLACE takes a plain rename.
int MoveAside(int dir_fd, const std::string& name, std::string& aside) {
  int error = EEXIST;
  for (int tries = 0; tries < kRandomNameTries && error == EEXIST; ++tries) {
    aside = spool::RandomName(kRemovePrefix, "");
    error =
        ::renameat2(dir_fd, name.c_str(), dir_fd, aside.c_str(), RENAME_NOREPLACE) == 0 ? 0 : errno;
    if (error == EINVAL || error == ENOSYS)
      error = ::renameat(dir_fd, name.c_str(), dir_fd, aside.c_str()) == 0 ? 0 : errno;
  }
  return error;
}

bool IsExpectedFile(const struct stat& st, const FileStamp& expected) {
  const FileStamp now = StampFrom(st);
  return now.regular && now.size == expected.size && now.mtime_ns == expected.mtime_ns &&
         now.inode == expected.inode;
}

std::vector<std::string> JobTempNames(DIR* dir) {
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(dir))
    if (IsJobTempName(e->d_name)) names.emplace_back(e->d_name);
  return names;
}

}  // namespace

size_t NameLimit(const std::string& folder) {
  Folder dir(folder);
  return spool::NameLimitOf(dir.fd());  // a folder that cannot be opened: the usual 255
}

bool IsAsideName(const std::string& name) { return name.rfind(kRemovePrefix, 0) == 0; }

// An aside name is not a temp: what lies there may be someone's drawing.
bool IsJobTempName(const std::string& name) {
  if (IsAsideName(name)) return false;
  if (name.rfind(kJobPrefix, 0) == 0) return true;
  return name.size() >= 1 + std::strlen(kGlfTempSuffix) && name[0] == '.' &&
         EndsWith(name, kGlfTempSuffix);
}

int RemoveStaleTemps(const std::string& folder, std::string& error) {
  const int dir_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = dir_fd < 0 ? nullptr : ::fdopendir(dir_fd);
  if (!dir) {
    error = folder + ": " + std::strerror(errno);
    if (dir_fd >= 0) ::close(dir_fd);
    return 0;
  }
  int removed = 0;
  for (const std::string& name : JobTempNames(dir)) {
    struct stat st {};
    if (!StatEntry(dir_fd, name, st) || S_ISDIR(st.st_mode)) continue;
    if (::unlinkat(dir_fd, name.c_str(), 0) == 0) {
      ++removed;
    } else if (errno != ENOENT && error.empty()) {
      error = name + ": " + std::strerror(errno);
    }
  }
  ::closedir(dir);
  return removed;
}

std::optional<TempFile> CreateTempFile(const std::string& folder, const std::string& preferred,
                                       std::string& error) {
  Folder dir(folder);
  if (dir.fd() < 0) {
    error = folder + ": " + std::strerror(errno);
    return std::nullopt;
  }
  const bool fits = !preferred.empty() && preferred.size() <= spool::NameLimitOf(dir.fd()) &&
                    preferred.find('/') == std::string::npos;
  std::string name = fits ? preferred : spool::RandomName(kJobPrefix, ".tmp");
  int create_error = 0;
  for (int tries = 0; tries <= kRandomNameTries; ++tries) {
    const int fd = CreateExclusive(dir.fd(), name);
    if (fd >= 0) return TempFile{fd, JoinPath(folder, name)};
    create_error = errno;
    if (create_error != EEXIST) break;
    name = spool::RandomName(kJobPrefix, ".tmp");
  }
  error = JoinPath(folder, name) + ": " + std::strerror(create_error);
  return std::nullopt;
}

RemoveResult RemoveIfSame(const std::string& folder, const std::string& name,
                          const FileStamp& expected) {
  RemoveResult result;
  Folder dir(folder);
  if (dir.fd() < 0) {
    result.error = folder + ": " + std::strerror(errno);
    return result;
  }
  std::string aside;
  const int moved = MoveAside(dir.fd(), name, aside);
  if (moved == ENOENT) {
    result.outcome = RemoveOutcome::Missing;
    return result;
  }
  if (moved != 0) {
    result.error = JoinPath(folder, name) + ": " + std::strerror(moved);
    return result;
  }
  // What was moved can no longer change names under us: it is checked and
  // removed as one entry, not by its old name.
  struct stat st {};
  if (!StatEntry(dir.fd(), aside, st)) {
    result.outcome = RemoveOutcome::Missing;  // someone took even the hidden name
    return result;
  }
  if (IsExpectedFile(st, expected)) {
    if (::unlinkat(dir.fd(), aside.c_str(), 0) == 0) {
      result.outcome = RemoveOutcome::Removed;
      return result;
    }
    const std::string why = name + ": " + std::strerror(errno);
    spool::PutBack(dir.fd(), aside, name, result);
    if (result.outcome == RemoveOutcome::Changed) result.outcome = RemoveOutcome::Failed;
    if (result.error.empty()) result.error = why;
    return result;
  }
  spool::PutBack(dir.fd(), aside, name, result);
  return result;
}

bool RestoreAside(const std::string& folder, const std::string& aside, std::string& kept_as,
                  std::string& error) {
  Folder dir(folder);
  const size_t limit = spool::NameLimitOf(dir.fd());
  for (int n = 1; n < 1000; ++n) {
    kept_as = spool::NumberedName("restored.OFI", std::to_string(n), limit);
    const int moved = spool::MoveNoReplace(dir.fd(), aside, kept_as);
    if (moved == 0) return true;
    if (moved != EEXIST) {
      error = JoinPath(folder, aside) + ": " + std::strerror(moved);
      return false;
    }
  }
  error = JoinPath(folder, aside) + ": no free name";
  return false;
}

bool RemoveEntry(const std::string& folder, const std::string& name, std::string& error) {
  const std::string path = JoinPath(folder, name);
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
  error = path + ": " + (errno == EISDIR ? std::string("is a folder") : std::strerror(errno));
  return false;
}

}  // namespace tovrin
