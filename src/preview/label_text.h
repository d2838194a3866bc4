// The characters behind label bytes: single bytes by the font's symbol set,
// two-byte labels as 7-bit JIS X 0208 (with the NEC row 13).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

namespace tovrin::preview {

// Symbol sets the single-byte fonts are defined with.
inline constexpr int kSymbolSetJisRoman = 11;     // "0K"
inline constexpr int kSymbolSetJisKatakana = 43;  // "1K"

// UTF-8 of one single-byte label code in the given symbol set; empty for a
// code that draws nothing.
std::string SingleByteChar(uint8_t code, int symbol_set);

// Decodes JIS codes, remembering each so a long drawing converts a
// character once.
class JisDecoder {
 public:
  // UTF-8 of the JIS code (row byte, cell byte); "〓" when it names no
  // character.
  const std::string& Decode(uint8_t row_byte, uint8_t cell_byte);

 private:
  std::unordered_map<uint16_t, std::string> cache_;
};

// True for a half-width katakana character (U+FF61..U+FF9F) in UTF-8.
bool IsHalfWidthKana(const std::string& utf8);

}  // namespace tovrin::preview
