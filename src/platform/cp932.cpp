#include "platform/cp932.h"

#include <iconv.h>

#include <cerrno>

namespace tovrin {
namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much as possible; on an invalid or unencodable sequence calls
  // `on_error(out)` and skips `skip(in)` bytes, or stops when it returns false.
  template <typename OnError>
  bool Convert(std::string_view in, std::string& out, OnError on_error) {
    if (!ok()) return false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    char buf[4096];
    while (src_left > 0) {
      char* dst = buf;
      size_t dst_left = sizeof buf;
      size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
      out.append(buf, static_cast<size_t>(dst - buf));
      if (r != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      size_t skip = on_error(out, std::string_view(src, src_left));
      if (skip == 0) return false;
      src += skip;
      src_left -= skip;
    }
    return true;
  }

 private:
  iconv_t cd_;
};

// Opening a converter costs more than most conversions (a job decodes the
// five header groups of every drawing): each thread keeps one converter per
// direction, reset before every use.
Converter& ToCp932Converter() {
  thread_local Converter converter("CP932", "UTF-8");
  return converter;
}
Converter& FromCp932Converter() {
  thread_local Converter converter("UTF-8", "CP932");
  return converter;
}

size_t Utf8SequenceLength(std::string_view s) {
  unsigned char c = static_cast<unsigned char>(s[0]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
  return n <= s.size() ? n : s.size();
}

}  // namespace

std::optional<std::string> ToCp932(std::string_view utf8) {
  Converter& conv = ToCp932Converter();
  std::string out;
  bool ok = conv.Convert(utf8, out, [](std::string&, std::string_view) { return size_t{0}; });
  if (!ok) return std::nullopt;
  return out;
}

std::string ToCp932Lossy(std::string_view utf8) {
  Converter& conv = ToCp932Converter();
  std::string out;
  conv.Convert(utf8, out, [](std::string& o, std::string_view rest) {
    o += '?';
    return Utf8SequenceLength(rest);
  });
  return out;
}

std::string FromCp932(std::string_view cp932) {
  Converter& conv = FromCp932Converter();
  std::string out;
  conv.Convert(cp932, out, [](std::string& o, std::string_view) {
    o += '?';
    return size_t{1};
  });
  return out;
}

std::optional<std::string> FromCp932Exact(std::string_view cp932) {
  Converter& conv = FromCp932Converter();
  std::string out;
  bool ok = conv.Convert(cp932, out, [](std::string&, std::string_view) { return size_t{0}; });
  if (!ok) return std::nullopt;
  return out;
}

size_t Utf8Length(std::string_view utf8) {
  size_t n = 0;
  for (unsigned char c : utf8)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace tovrin
