#include "platform/plot_mark.h"

#include <sys/xattr.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <utility>

namespace tovrin {
namespace {

constexpr std::string_view kFirstLine = "tovrin-plot 1";
constexpr const char* kStates[] = {"sending", "delivering", "finished", "failed", "lost"};

// Canonical decimals only (no sign but a minus where allowed, no leading
// zero, no blank), so a mark has one spelling and junk is never half read.
template <typename T>
bool ParseNumber(std::string_view text, T& value) {
  const bool minus = !text.empty() && text[0] == '-';
  if (minus && !std::is_signed_v<T>) return false;
  const std::string_view digits = text.substr(minus ? 1 : 0);
  if (digits.empty() || (digits[0] == '0' && (digits.size() > 1 || minus))) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool IsPlainText(std::string_view text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

bool IsState(std::string_view text) {
  for (const char* state : kStates)
    if (text == state) return true;
  return false;
}

// The next line's value when it is "key=value"; `rest` moves past it.
bool Field(std::string_view& rest, std::string_view key, std::string_view& value) {
  const size_t end = rest.find('\n');
  if (end == std::string_view::npos) return false;
  const std::string_view line = rest.substr(0, end);
  rest.remove_prefix(end + 1);
  if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != '=')
    return false;
  value = line.substr(key.size() + 1);
  return IsPlainText(value);
}

template <typename T>
bool NumberField(std::string_view& rest, std::string_view key, T& value) {
  std::string_view text;
  return Field(rest, key, text) && ParseNumber(text, value);
}

bool TextField(std::string_view& rest, std::string_view key, std::string& value) {
  std::string_view text;
  if (!Field(rest, key, text)) return false;
  value.assign(text);
  return true;
}

MarkAccess ReadFailure(int error_number, const std::string& what, std::string& error) {
  if (error_number == ENODATA || error_number == ERANGE) return MarkAccess::None;
  error = what + ": " + std::strerror(error_number);
  return error_number == ENOTSUP ? MarkAccess::Unsupported : MarkAccess::Failed;
}

// Writing or removing: a user who may not change the file (not its owner,
// no write permission, a link) cannot mark it, which is no fault.
MarkAccess WriteFailure(int error_number, const std::string& what, std::string& error) {
  error = what + ": " + std::strerror(error_number);
  const bool refused = error_number == EPERM || error_number == EACCES || error_number == ENOTSUP;
  return refused ? MarkAccess::Unsupported : MarkAccess::Failed;
}

MarkAccess Parsed(const char* bytes, ssize_t size, PlotMark& mark) {
  return ParsePlotMark(std::string(bytes, static_cast<size_t>(size)), mark) ? MarkAccess::Done
                                                                            : MarkAccess::None;
}

// The bytes to write, or false when the mark would not read back as itself
// (a text with a control byte in it).
bool WritableBytes(const PlotMark& mark, std::string& bytes, std::string& error) {
  bytes = FormatPlotMark(mark);
  PlotMark back;
  if (ParsePlotMark(bytes, back) && back == mark) return true;
  error = "not a well-formed plot mark";
  return false;
}

}  // namespace

std::string FormatPlotMark(const PlotMark& mark) {
  std::string s(kFirstLine);
  s += "\nsize=" + std::to_string(mark.size);
  s += "\nmtime=" + std::to_string(mark.mtime_ns);
  s += "\ninode=" + std::to_string(mark.inode);
  s += "\nstate=" + mark.state;
  s += "\nprinter=" + mark.printer;
  s += "\njob=" + std::to_string(mark.job_id);
  s += "\nuuid=" + mark.job_uuid;
  s += "\ncreated=" + std::to_string(mark.job_created);
  s += "\nsince=" + std::to_string(mark.since) + "\n";
  if (mark.then_delete) s += "delete=1\n";  // absent otherwise, as marks were before it
  return s;
}

bool ParsePlotMark(const std::string& bytes, PlotMark& mark) {
  if (bytes.size() > kMaxPlotMarkBytes) return false;
  std::string_view rest = bytes;
  if (rest.substr(0, kFirstLine.size() + 1) != std::string(kFirstLine) + "\n") return false;
  rest.remove_prefix(kFirstLine.size() + 1);
  PlotMark m;
  const bool ok = NumberField(rest, "size", m.size) && NumberField(rest, "mtime", m.mtime_ns) &&
                  NumberField(rest, "inode", m.inode) && TextField(rest, "state", m.state) &&
                  TextField(rest, "printer", m.printer) && NumberField(rest, "job", m.job_id) &&
                  TextField(rest, "uuid", m.job_uuid) &&
                  NumberField(rest, "created", m.job_created) &&
                  NumberField(rest, "since", m.since);
  int then_delete = 0;
  if (ok && !rest.empty() && (!NumberField(rest, "delete", then_delete) || then_delete != 1))
    return false;
  m.then_delete = then_delete == 1;
  if (!ok || !rest.empty() || !IsState(m.state) || m.job_id < 0) return false;
  mark = std::move(m);
  return true;
}

MarkAccess ReadPlotMark(int fd, PlotMark& mark, std::string& error) {
  char bytes[kMaxPlotMarkBytes];
  const ssize_t n = ::fgetxattr(fd, kPlotMarkAttribute, bytes, sizeof bytes);
  if (n < 0) return ReadFailure(errno, kPlotMarkAttribute, error);
  return Parsed(bytes, n, mark);
}

MarkAccess WritePlotMark(int fd, const PlotMark& mark, std::string& error) {
  std::string bytes;
  if (!WritableBytes(mark, bytes, error)) return MarkAccess::Failed;
  if (::fsetxattr(fd, kPlotMarkAttribute, bytes.data(), bytes.size(), 0) == 0)
    return MarkAccess::Done;
  return WriteFailure(errno, kPlotMarkAttribute, error);
}

MarkAccess ReadPlotMarkAt(const std::string& folder, const std::string& name, PlotMark& mark,
                          std::string& error) {
  const std::string path = JoinPath(folder, name);
  char bytes[kMaxPlotMarkBytes];
  // A link carries no user attributes: lgetxattr answers ENODATA for it.
  const ssize_t n = ::lgetxattr(path.c_str(), kPlotMarkAttribute, bytes, sizeof bytes);
  if (n < 0) return ReadFailure(errno, path, error);
  return Parsed(bytes, n, mark);
}

MarkAccess WritePlotMarkAt(const std::string& folder, const std::string& name, const PlotMark& mark,
                           std::string& error) {
  const std::string path = JoinPath(folder, name);
  std::string bytes;
  if (!WritableBytes(mark, bytes, error)) return MarkAccess::Failed;
  if (::lsetxattr(path.c_str(), kPlotMarkAttribute, bytes.data(), bytes.size(), 0) == 0)
    return MarkAccess::Done;
  return WriteFailure(errno, path, error);
}

// Done also when there was no mark: either way the file carries none now.
MarkAccess RemovePlotMarkAt(const std::string& folder, const std::string& name,
                            std::string& error) {
  const std::string path = JoinPath(folder, name);
  if (::lremovexattr(path.c_str(), kPlotMarkAttribute) == 0 || errno == ENODATA)
    return MarkAccess::Done;
  return WriteFailure(errno, path, error);
}

}  // namespace tovrin
