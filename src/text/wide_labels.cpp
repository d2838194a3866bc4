#include "ofi/translation.h"
#include "text/code_tables.h"
#include "text/glyphs.h"

namespace tovrin {
namespace {

constexpr uint8_t kSymbolRow = 115;  // the drawing system's own symbol row

// Two-byte labels end with 0x00 0x03: the terminator of label mode LM1.
void WriteTerminator(GlfWriter& out) {
  out.WriteRawByte(0x00);
  out.WriteRawByte(0x03);
}

void WriteJisBytes(GlfWriter& out, JisCode code) {
  out.Write("LB");
  out.WriteRawByte(static_cast<uint8_t>(code >> 8));
  out.WriteRawByte(static_cast<uint8_t>(code & 0xFF));
}

// JIS code of a special form of the symbol row; 0 for an ordinary cell.
JisCode SymbolRowCode(uint8_t cell) {
  if (cell >= 11 && cell <= 20)
    return static_cast<JisCode>(0x2D00 | (cell + 42));  // Roman numerals
  switch (cell) {
    case 23: return 0x2147;
    case 24: return 0x2D60;
    case 25: return 0x2D6A;
    case 26: return 0x2D62;
    case 27: return 0x2D64;
    default: return 0;
  }
}

}  // namespace

void WideFromSingle(Translation& tr, uint8_t code) {
  SelectKanjiFont(tr);
  if (JisCode jis = WideCodeOfSingle(code)) WriteJisBytes(tr.out, jis);
  WriteTerminator(tr.out);
  tr.out.Write(";");
}

void WideFromKana(Translation& tr, uint8_t code) {
  SelectKanjiFont(tr);
  JisCode jis = WideCodeOfKana(code);
  if (jis == 0) return;  // callers pass 0xA1..0xDF only
  WriteJisBytes(tr.out, jis);
  WriteTerminator(tr.out);
}

void WriteJisLabel(Translation& tr, uint8_t row, uint8_t cell) {
  if (row == kSymbolRow) {
    if (JisCode special = SymbolRowCode(cell)) {
      WriteJisBytes(tr.out, special);
      WriteTerminator(tr.out);
      tr.out.Write(";");
      return;
    }
  }
  // Rows and cells of 224 and above wrap within the byte.
  tr.out.Write("LB");
  tr.out.WriteRawByte(static_cast<uint8_t>((row + 0x20) & 0xFF));
  tr.out.WriteRawByte(static_cast<uint8_t>((cell + 0x20) & 0xFF));
  WriteTerminator(tr.out);
}

}  // namespace tovrin
