#include "settings/settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/cp932.h"
#include "settings/file_replace.h"
#include "settings/setting_checks.h"
#include "settings/setting_values.h"
#include "settings/values.h"

namespace tovrin {
namespace {

// Larger files are not settings files; reading stops at this size.
constexpr size_t kMaxFileBytes = 1 << 20;

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

// Why a line stopped the reading.
constexpr const char* kNoDoubleBlank = "値の後に空白2つがありません";
constexpr const char* kPositionRange = "位置が範囲外です";
// A file full of bad values must not flood the job log.
constexpr size_t kMaxWarnings = 20;
// Long lines are cut in warnings.
constexpr size_t kMaxQuotedChars = 80;

std::string Quoted(std::string_view line) {
  size_t end = 0;
  for (size_t chars = 0; end < line.size() && chars < kMaxQuotedChars; ++chars) {
    ++end;
    while (end < line.size() && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) ++end;
  }
  return "\"" + std::string(line.substr(0, end)) + (end < line.size() ? "…" : "") + "\"";
}

// A line of the file, named only when a warning needs its name.
struct LineAt {
  const std::string& path;
  size_t number;
  std::string Name() const { return path + " " + std::to_string(number) + "行目"; }
};

// The value of an enumerated setting, checked against its list.
std::string CheckedChoice(const SettingInfo& info, std::string_view value, const LineAt& where,
                          std::vector<std::string>& warnings) {
  if (std::optional<std::string> allowed = AllowedValueFor(info, value)) return *allowed;
  std::string warning = where.Name() + ": " + info.key + " の値 " + Quoted(value) + " は " +
                        AllowedList(info) + " のどれでもありません";
  if (std::string_view(info.key) == "OfiFEnd") {
    warnings.push_back(warning + "。図面を消さないよう " + setting_values::kKeep + " とします");
    return setting_values::kKeep;
  }
  warnings.push_back(warning);
  return std::string(value);
}

// Applies one line; false (with `reason` set) when the line stops the reading.
bool ApplyLine(std::string_view line, const LineAt& where, PlotSettings& settings,
               std::vector<std::string>& warnings, const char*& reason) {
  const SettingInfo* info = ClaimingSetting(line);
  if (!info) return true;
  size_t value_start = line.find('=') + 1;
  size_t value_end = line.find("  ", value_start);
  if (value_end == std::string_view::npos) {
    reason = kNoDoubleBlank;
    return false;
  }
  std::string value(line.substr(value_start, value_end - value_start));
  if (info->kind() == SettingKind::Text) value = CheckedChoice(*info, value, where, warnings);
  if (!ApplySettingText(settings, *info, value)) {
    reason = kPositionRange;
    return false;
  }
  return true;
}

// The lines as views into `bytes`, without their CR LF or LF.
std::vector<std::string_view> SplitLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Structurally valid UTF-8 (no stray continuation bytes, no cut sequences).
bool IsUtf8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    size_t n = c < 0x80                   ? 1
               : (c >= 0xC2 && c <= 0xDF) ? 2
               : (c >> 4) == 0xE          ? 3
               : (c >= 0xF0 && c <= 0xF4) ? 4
                                          : 0;
    if (n == 0 || i + n > bytes.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

bool HasNonAscii(std::string_view bytes) {
  return std::any_of(bytes.begin(), bytes.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Every character is one a Japanese settings file holds: ASCII, kana,
// kanji, full-width and half-width forms, Japanese punctuation.
bool LooksJapanese(std::string_view utf8) {
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t n = (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : 4;
    char32_t cp = c & (0x7F >> n);
    for (size_t k = 1; k < n && i + k < utf8.size(); ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
    i += n;
    bool japanese = (cp >= 0x3000 && cp <= 0x30FF) || (cp >= 0x4E00 && cp <= 0x9FFF) ||
                    (cp >= 0xFF01 && cp <= 0xFF9F);
    if (!japanese) return false;
  }
  return true;
}

// A Linux editor may have saved the file as UTF-8. Such a file is read as
// UTF-8 when it is no code page 932 text, or when only the UTF-8 reading
// gives Japanese text; a real code page 932 file is hardly ever valid UTF-8.
bool ReadAsUtf8(const std::string& bytes) {
  if (!HasNonAscii(bytes) || !IsUtf8(bytes)) return false;
  return !FromCp932Exact(bytes) || LooksJapanese(bytes);
}

// The file's bytes; only a regular file is opened, and never waited for.
SettingsFileRead ReadFileBytes(const std::string& path, std::string& bytes) {
  SettingsFileRead read;
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    read.status =
        errno == ENOENT ? SettingsFileRead::Status::Missing : SettingsFileRead::Status::Unreadable;
    read.error = std::strerror(errno);
    return read;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    read.status = SettingsFileRead::Status::Unreadable;
    read.error = "通常のファイルではありません";
    ::close(fd);
    return read;
  }
  // Room for the size it has now (a settings file is a few kilobytes), then
  // more as it grows while being read; never past kMaxFileBytes.
  bytes.resize(std::min<size_t>(static_cast<size_t>(st.st_size) + 1, kMaxFileBytes));
  size_t done = 0;
  while (done < kMaxFileBytes) {
    if (done == bytes.size()) bytes.resize(std::min(2 * done, kMaxFileBytes));
    ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      read.status = SettingsFileRead::Status::Unreadable;
      read.error = std::strerror(errno);
      ::close(fd);
      return read;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  bytes.resize(done);
  read.status = SettingsFileRead::Status::Read;
  return read;
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

}  // namespace

SettingsFileRead ReadSettingsFile(const std::string& path, PlotSettings& settings) {
  std::string bytes;
  SettingsFileRead read = ReadFileBytes(path, bytes);
  if (read.status == SettingsFileRead::Status::Unreadable)
    read.warnings.push_back(path + " が読めません (" + read.error + ")。既定の設定を使います");
  if (read.status != SettingsFileRead::Status::Read) return read;
  read.read_as_utf8 = ReadAsUtf8(bytes);
  if (read.read_as_utf8)
    read.warnings.push_back(path + " は UTF-8 で書かれています。UTF-8 として読みました");
  const std::vector<std::string_view> lines = SplitLines(bytes);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (read.warnings.size() == kMaxWarnings)
      read.warnings.push_back(path + ": これより後の値の警告は省きます");
    // Only a line with an "=" can set anything; in code page 932 no
    // character's second byte is "=", so the bytes tell before converting.
    if (lines[i].find('=') == std::string_view::npos) continue;
    const std::string line = read.read_as_utf8 ? std::string(lines[i]) : FromCp932(lines[i]);
    const LineAt where{path, i + 1};
    const char* reason = nullptr;
    std::vector<std::string> ignored;
    auto& warnings = read.warnings.size() < kMaxWarnings ? read.warnings : ignored;
    if (!ApplyLine(line, where, settings, warnings, reason)) {
      read.stopped_early = true;
      read.warnings.push_back(where.Name() + " で読み込みを止めました (" + reason +
                              "): " + Quoted(line) + "。これより後の設定は既定値です");
      break;
    }
  }
  return read;
}

bool LoadSettingsFile(const std::string& path, PlotSettings& settings) {
  return ReadSettingsFile(path, settings).status == SettingsFileRead::Status::Read;
}

bool SaveSettingsFile(const std::string& path, const PlotSettings& settings, std::string& error,
                      SaveOptions options) {
  std::optional<std::string> bytes = FileBytes(settings, error);
  if (!bytes) {
    error = "settings not saved: " + error;
    return false;
  }
  std::optional<std::string> target = LinkTarget(path, error);
  if (!target) return false;
  if (options.keep_backup && !KeepBackup(*target, path + ".bak", error)) return false;
  return ReplaceFile(*target, *bytes, error);
}

}  // namespace tovrin
