#include "job/chooser_listing.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "job/header_text.h"
#include "platform/folder.h"

namespace tovrin {
namespace {

namespace fs = std::filesystem;

constexpr size_t kHeaderEnd = 128;  // the header text lies within the first 128 bytes

// The file's first bytes, or nullopt when it cannot be read. Non-blocking
// open so a FIFO given a drawing's name cannot stall the window.
std::optional<std::vector<uint8_t>> ReadFileStart(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  std::optional<std::vector<uint8_t>> bytes;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    bytes.emplace(kHeaderEnd);
    size_t done = 0;
    while (done < kHeaderEnd) {
      ssize_t n = ::read(fd, bytes->data() + done, kHeaderEnd - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        bytes.reset();
        break;
      }
      if (n == 0) break;
      done += static_cast<size_t>(n);
    }
    if (bytes) bytes->resize(done);
  }
  ::close(fd);
  return bytes;
}

std::string EntryHeader(const std::string& path) {
  auto start = ReadFileStart(path);
  return start ? HeaderText(*start) : BlankHeaderText();
}

bool IsHidden(const std::string& name) { return !name.empty() && name.front() == '.'; }

bool IsNonEmptyRegularFile(const std::string& path) {
  std::error_code ec;
  fs::file_status st = fs::status(path, ec);
  if (ec || !fs::is_regular_file(st)) return false;
  uintmax_t size = fs::file_size(path, ec);
  return !ec && size != 0;
}

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiUpper(x) == AsciiUpper(y);
         });
}

bool IsRegularFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

}  // namespace

bool IsChooserName(const std::string& name) {
  return name.find("OFI") != std::string::npos || name.find("ofi") != std::string::npos;
}

std::string NamePart(const std::string& file_name) {
  return file_name.substr(0, file_name.find('.'));
}

std::vector<ChooserEntry> ListChooserDrawings(const std::string& folder) {
  std::string error;
  auto listing = ListFolder(folder, error);
  std::vector<ChooserEntry> entries;
  if (!listing) return entries;
  for (const FolderEntry& e : *listing) {
    if (e.is_folder || IsHidden(e.name) || !IsChooserName(e.name)) continue;
    std::string path = JoinPath(folder, e.name);
    if (!IsNonEmptyRegularFile(path)) continue;
    entries.push_back({EntryHeader(path) + "(" + NamePart(e.name) + ")", e.name});
  }
  return entries;
}

std::string ChosenFileName(const std::string& folder, const std::string& file_name) {
  std::string wanted = NamePart(file_name) + ".OFI";
  if (IsRegularFile(JoinPath(folder, wanted))) return wanted;
  if (SameIgnoringCase(file_name, wanted)) return file_name;
  std::string error;
  if (auto listing = ListFolder(folder, error)) {
    for (const FolderEntry& e : *listing)
      if (!e.is_folder && SameIgnoringCase(e.name, wanted)) return e.name;
  }
  return wanted;
}

std::string OpeningFolder(const std::string& folder, const std::string& start_folder) {
  fs::path start(start_folder);
  fs::path path = folder.empty() ? start : (start / fs::path(folder)).lexically_normal();
  // A trailing "/" leaves an empty last element; drop it so the walk moves up.
  if (!path.has_filename() && path.has_parent_path() && path != path.root_path())
    path = path.parent_path();
  for (int guard = 0; guard < 4096 && !path.empty(); ++guard) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) return path.string();
    if (!path.has_parent_path() || path.parent_path() == path) break;
    path = path.parent_path();
  }
  return start_folder;
}

}  // namespace tovrin
