#include "preview/label_text.h"

#include "platform/cp932.h"
#include "preview/preview_texts.h"

namespace tovrin::preview {
namespace {

const std::string kUndrawable = texts::kUndrawable;

std::string Utf8(uint32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s += static_cast<char>(cp);
  } else if (cp < 0x800) {
    s += static_cast<char>(0xC0 | cp >> 6);
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    s += static_cast<char>(0xE0 | cp >> 12);
    s += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return s;
}

// JIS X 0201 katakana: 0x21..0x5F in the 7-bit set, 0xA1..0xDF in 8 bits.
uint32_t KanaCodePoint(uint8_t code) {
  if (code >= 0x21 && code <= 0x5F) return 0xFF61 + (code - 0x21);
  if (code >= 0xA1 && code <= 0xDF) return 0xFF61 + (code - 0xA1);
  return 0;
}

}  // namespace

std::string SingleByteChar(uint8_t code, int symbol_set) {
  if (symbol_set == kSymbolSetJisKatakana) {
    if (uint32_t cp = KanaCodePoint(code)) return Utf8(cp);
  }
  if (code >= 0xA1 && code <= 0xDF && symbol_set == kSymbolSetJisRoman)
    return Utf8(KanaCodePoint(code));
  if (symbol_set == kSymbolSetJisRoman && code == 0x5C) return Utf8(0xA5);    // yen
  if (symbol_set == kSymbolSetJisRoman && code == 0x7E) return Utf8(0x203E);  // overline
  if (code > 0x20 && code < 0x7F) return std::string(1, static_cast<char>(code));
  if (code >= 0xA0) return Utf8(code);  // Latin-1 for the Western sets
  return {};
}

const std::string& JisDecoder::Decode(uint8_t row_byte, uint8_t cell_byte) {
  const uint16_t key = static_cast<uint16_t>(row_byte << 8 | cell_byte);
  if (auto it = cache_.find(key); it != cache_.end()) return it->second;
  std::string text = kUndrawable;
  if (row_byte >= 0x21 && row_byte <= 0x7E && cell_byte >= 0x21 && cell_byte <= 0x7E) {
    // 7-bit JIS to Shift_JIS, then through the code page 932 tables.
    const int j1 = row_byte, j2 = cell_byte;
    std::string sjis(2, '\0');
    sjis[0] = static_cast<char>(((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0));
    sjis[1] = static_cast<char>(j2 + ((j1 & 1) ? (j2 >= 0x60 ? 0x20 : 0x1F) : 0x7E));
    std::string utf8 = FromCp932(sjis);
    if (!utf8.empty() && utf8 != "?" && Utf8Length(utf8) == 1) text = utf8;
  }
  return cache_.emplace(key, std::move(text)).first->second;
}

bool IsHalfWidthKana(const std::string& utf8) {
  // U+FF61..U+FF9F is EF BD A1..EF BD BF and EF BE 80..EF BE 9F.
  if (utf8.size() != 3 || static_cast<uint8_t>(utf8[0]) != 0xEF) return false;
  const uint8_t b1 = static_cast<uint8_t>(utf8[1]), b2 = static_cast<uint8_t>(utf8[2]);
  return (b1 == 0xBD && b2 >= 0xA1) || (b1 == 0xBE && b2 <= 0x9F);
}

}  // namespace tovrin::preview
