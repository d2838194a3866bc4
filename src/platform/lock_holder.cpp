#include "platform/lock_holder.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace tovrin {
namespace {

// A process's command line with its NULs as blanks, cut to a line's worth.
std::string CommandLine(const std::string& pid) {
  std::ifstream in("/proc/" + pid + "/cmdline", std::ios::binary);
  std::string text;
  char c;
  while (text.size() < 200 && in.get(c)) text += c == '\0' ? ' ' : c;
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

std::string FolderLockHolder(const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return {};
  char file[64];
  std::snprintf(file, sizeof file, "%02x:%02x:%llu", major(st.st_dev), minor(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    // "1: FLOCK  ADVISORY  WRITE 1234 fe:00:5678 0 EOF"
    std::istringstream fields(line);
    std::string number, kind, advisory, mode, pid, where;
    if (!(fields >> number >> kind >> advisory >> mode >> pid >> where)) continue;
    if (kind != "FLOCK" || where != file) continue;
    const std::string command = CommandLine(pid);
    return "pid " + pid + (command.empty() ? "" : " (" + command + ")");
  }
  return {};
}

}  // namespace tovrin
