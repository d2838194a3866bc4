#include "settings/settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/cp932.h"
#include "settings/values.h"

namespace tovrin {
namespace {

// Larger files are not settings files; reading stops at this size.
constexpr std::streamsize kMaxFileBytes = 1 << 20;

constexpr int kOfiFileBlanks = 8;
constexpr int kMinBlanks = 2;  // the reader ends a value at the first double blank

const std::string kBanner(77, '*');
const std::string kFrame = "*" + std::string(75, ' ') + "*";
// 59 characters, 77 bytes in code page 932: its "*" lines up with the banner.
const std::string kTitle =
    "*  ＺＥＬＫ－ＨＰＧＬ２出図（Tovrin.EXE)プログラム" + std::string(26, ' ') + "*";

// ---- reading -------------------------------------------------------------

std::string_view TrimLeadingBlanks(std::string_view line) {
  size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  return line.substr(i);
}

// The setting a line belongs to: the key it starts with, right before its
// first "=". A key elsewhere in the line (a printer named "Plot…") does not count.
const SettingInfo* ClaimingSetting(std::string_view line) {
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return nullptr;
  return FindSetting(TrimLeadingBlanks(line.substr(0, eq)));
}

enum class LineResult { Applied, Skipped, Bad };

LineResult ApplyLine(std::string_view line, PlotSettings& settings) {
  const SettingInfo* info = ClaimingSetting(line);
  if (!info) return LineResult::Skipped;
  size_t value_start = line.find('=') + 1;
  size_t value_end = line.find("  ", value_start);
  if (value_end == std::string_view::npos) return LineResult::Bad;
  std::string_view value = line.substr(value_start, value_end - value_start);
  return ApplySettingText(settings, *info, value) ? LineResult::Applied : LineResult::Bad;
}

std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// ---- writing -------------------------------------------------------------

// The general number format without the blank a positive number gets and
// without a leading zero: ".17", "-.14".
std::string FileNumber(std::string text) {
  if (text.rfind("0.", 0) == 0) return text.substr(1);
  if (text.rfind("-0.", 0) == 0) return "-" + text.substr(2);
  return text;
}

bool IsFiniteSetting(const PlotSettings& settings, const SettingInfo& info) {
  if (const auto* m = std::get_if<float PlotSettings::*>(&info.member))
    return std::isfinite(settings.**m);
  if (const auto* m = std::get_if<double PlotSettings::*>(&info.member))
    return std::isfinite(settings.**m);
  return true;
}

// One setting line in UTF-8; nullopt with `error` set when the value cannot
// be stored so that it reads back.
std::optional<std::string> SettingLine(const PlotSettings& settings, const SettingInfo& info,
                                       std::string& error) {
  if (!IsFiniteSetting(settings, info)) {
    error = std::string(info.key) + " does not hold a number";
    return std::nullopt;
  }
  std::string value = SettingText(settings, info);
  if (info.kind() != SettingKind::Text) value = FileNumber(value);
  if (value.find_first_of("\r\n") != std::string::npos) {
    error = std::string(info.key) + " holds a line break";
    return std::nullopt;
  }
  int blanks = kOfiFileBlanks;
  if (std::string_view(info.key) != "OfiFile")
    blanks = std::max(kMinBlanks, info.padding - static_cast<int>(Utf8Length(value)));
  return std::string(info.key) + "=" + value + std::string(blanks, ' ') + info.comment;
}

// The whole file in code page 932 with CR LF line ends.
std::optional<std::string> FileBytes(const PlotSettings& settings, std::string& error) {
  std::vector<std::string> lines = {kBanner, kFrame, kTitle, kFrame, kBanner};
  for (const SettingInfo& info : SettingTable()) {
    std::optional<std::string> line = SettingLine(settings, info, error);
    if (!line) return std::nullopt;
    lines.push_back(std::move(*line));
  }
  std::string bytes;
  for (const std::string& line : lines) {
    std::optional<std::string> encoded = ToCp932(line);
    if (!encoded) {
      error = "cannot be written in code page 932: " + line;
      return std::nullopt;
    }
    bytes += *encoded + "\r\n";
  }
  return bytes;
}

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

}  // namespace

bool LoadSettingsFile(const std::string& path, PlotSettings& settings) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::string bytes(static_cast<size_t>(kMaxFileBytes), '\0');
  file.read(bytes.data(), kMaxFileBytes);
  if (file.bad()) return false;
  bytes.resize(static_cast<size_t>(file.gcount()));
  for (const std::string& line : SplitLines(bytes)) {
    if (ApplyLine(FromCp932(line), settings) == LineResult::Bad) break;
  }
  return true;
}

bool SaveSettingsFile(const std::string& path, const PlotSettings& settings, std::string& error) {
  std::optional<std::string> bytes = FileBytes(settings, error);
  if (!bytes) {
    error = "settings not saved: " + error;
    return false;
  }
  return ReplaceFile(path, *bytes, error);
}

}  // namespace tovrin
