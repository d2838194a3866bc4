#include "job/header_text.h"

#include "platform/cp932.h"

namespace tovrin {
namespace {

constexpr size_t kHeaderOffset = 108;
constexpr size_t kGroupChars = 4;

std::string DecodeGroup(std::span<const uint8_t> bytes, size_t offset) {
  std::string raw;
  for (size_t i = offset; i < offset + 4; ++i) {
    uint8_t b = i < bytes.size() ? bytes[i] : 0;
    raw += static_cast<char>(b == 0 ? ' ' : b);
  }
  std::string text = FromCp932(raw);
  // Cut or pad to exactly four characters.
  std::string out;
  size_t chars = 0;
  for (size_t i = 0; i < text.size();) {
    size_t len = 1;
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0xF0)
      len = 4;
    else if (c >= 0xE0)
      len = 3;
    else if (c >= 0xC0)
      len = 2;
    if (chars == kGroupChars) break;
    out.append(text, i, len);
    ++chars;
    i += len;
  }
  out.append(kGroupChars - chars, ' ');
  return out;
}

}  // namespace

std::string HeaderText(std::span<const uint8_t> file_start) {
  std::string header;
  for (size_t g = 0; g < 4; ++g) header += DecodeGroup(file_start, kHeaderOffset + 4 * g);
  header += ",";
  header += DecodeGroup(file_start, kHeaderOffset + 16);
  return header;
}

std::string BlankHeaderText() { return std::string(16, ' ') + "," + std::string(4, ' '); }

}  // namespace tovrin
