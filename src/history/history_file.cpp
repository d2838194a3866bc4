#include "history/history_file.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tovrin {
namespace {

std::string OwnerName(uid_t uid) {
  std::vector<char> buf(4096);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(uid, &entry, buf.data(), buf.size(), &found) == 0 && found)
    return found->pw_name;
  return "uid " + std::to_string(uid);
}

std::string Mode(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// "(owner root, mode 0644: Permission denied)"; empty when this user may
// write the file or it is not there.
std::string Refusal(const std::string& path) {
  if (::access(path.c_str(), W_OK) == 0) return {};
  const int why = errno;
  struct stat st {};
  if (why == ENOENT || ::stat(path.c_str(), &st) != 0) return {};
  return "owner " + OwnerName(st.st_uid) + ", mode " + Mode(st.st_mode) + ": " + std::strerror(why);
}

}  // namespace

std::optional<FileIdentity> IdentifyFile(const std::string& path, std::string& error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0)
    return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                        static_cast<uint64_t>(st.st_size)};
  error = errno == ENOENT ? path + " was deleted" : path + ": " + std::strerror(errno);
  return std::nullopt;
}

std::string NotWritableText(const std::string& path) {
  for (const std::string& file : {path, path + "-wal", path + "-shm"}) {
    std::string refusal = Refusal(file);
    if (!refusal.empty()) return file + " cannot be written by this user (" + refusal + ")";
  }
  return path + " cannot be written by this user";
}

}  // namespace tovrin
