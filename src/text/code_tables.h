// Fixed conversions between the drawing's single-byte codes and JIS X 0208.
#pragma once

#include <cstdint>
#include <span>

namespace tovrin {

// A 7-bit JIS code as row byte << 8 | cell byte (0x2124 is row 1 cell 4).
using JisCode = uint16_t;

// One entry of a sparse table: a key (code or cell) and what it maps to.
struct CodeEntry {
  uint16_t key;
  uint16_t value;
};

// Full-width JIS code of a single-byte code; 0 when it has none.
JisCode WideCodeOfSingle(uint8_t code);
// Full-width JIS code of a half-width katakana (0xA1..0xDF); 0 otherwise.
JisCode WideCodeOfKana(uint8_t code);
// Row 1 cell -> ASCII code (symbols drawn half-width); 0 when none.
uint8_t AsciiOfRow1(int cell);
// Row 1 cell -> half-width katakana punctuation; 0 when none.
uint8_t KanaOfRow1(int cell);
// Row 5 cell -> half-width katakana; 0 when none (voiced and small forms).
uint8_t KanaOfRow5(int cell);

// The tables themselves, for checks.
std::span<const CodeEntry> SingleToWideEntries();  // besides digits and letters
std::span<const CodeEntry> KanaToWideEntries();    // 0xA1..0xDF in order
std::span<const CodeEntry> Row1SymbolEntries();
std::span<const CodeEntry> Row1KanaEntries();
std::span<const CodeEntry> Row5KanaEntries();

}  // namespace tovrin
