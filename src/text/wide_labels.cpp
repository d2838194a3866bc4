#include "ofi/translation.h"
#include "text/code_tables.h"
#include "text/glyphs.h"

namespace tovrin {
namespace {

constexpr uint8_t kSymbolRow = 115;  // the drawing system's own symbol row

// Two-byte labels end with 0x00 0x03: the terminator of label mode LM1.
void WriteTerminator(GlfWriter& out) {
  char* p = out.Room(2);
  p[0] = 0x00;
  p[1] = 0x03;
  out.Commit(p + 2);
}

// "LB" and the two bytes of a character, in one write.
void WriteLabelBytes(GlfWriter& out, uint8_t first, uint8_t second) {
  char* p = out.Room(4);
  p[0] = 'L';
  p[1] = 'B';
  p[2] = static_cast<char>(first);
  p[3] = static_cast<char>(second);
  out.Commit(p + 4);
}

void WriteJisBytes(GlfWriter& out, JisCode code) {
  WriteLabelBytes(out, static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code & 0xFF));
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
  WriteLabelBytes(tr.out, static_cast<uint8_t>((row + 0x20) & 0xFF),
                  static_cast<uint8_t>((cell + 0x20) & 0xFF));
  WriteTerminator(tr.out);
}

}  // namespace tovrin
