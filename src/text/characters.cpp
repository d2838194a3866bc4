#include "ofi/translation.h"
#include "text/code_tables.h"
#include "text/glyphs.h"

namespace tovrin {
namespace {

bool IsHalfKana(uint8_t c) { return c > 160 && c < 224; }

void WriteSingleByteLabel(GlfWriter& out, uint8_t code) {
  char* p = out.Room(4);
  p[0] = 'L';
  p[1] = 'B';
  p[2] = static_cast<char>(code);
  p[3] = 0x03;
  out.Commit(p + 4);
}

// Single-byte font paths: font instructions first, then the move.
void SingleBytePath(Translation& tr, uint8_t c) {
  SelectSingleByteFont(tr);
  bool alnum = (c > 32 && c < 91) || (c > 93 && c < 123);
  SwitchByteClass(tr, alnum ? ByteClass::Alnum : ByteClass::Symbol);
  MoveToGlyph(tr);
  WriteSingleByteLabel(tr.out, c);
}

void SingleByteKanaPath(Translation& tr, uint8_t c) {
  SelectSingleByteFont(tr);
  SwitchByteClass(tr, ByteClass::Kana);
  MoveToGlyph(tr);
  WriteSingleByteLabel(tr.out, static_cast<uint8_t>(c - 128));
}

// Wide paths: the move first; the conversions select the kanji font.
void WidePath(Translation& tr, uint8_t c) {
  MoveToKanjiGlyph(tr);
  WideFromSingle(tr, c);
}

void WideKanaPath(Translation& tr, uint8_t c) {
  MoveToKanjiGlyph(tr);
  WideFromKana(tr, c);
}

// JIS path: the kanji font first, then the move.
void JisPath(Translation& tr, uint8_t row, uint8_t cell) {
  SelectKanjiFont(tr);
  MoveToKanjiGlyph(tr);
  WriteJisLabel(tr, row, cell);
}

enum class KanaRoute { Wide, Half, AsOther };

void WriteSingleCode(Translation& tr, uint8_t c, KanaRoute kana) {
  if (c == 32) return;  // a space only takes its place
  if ((c > 0 && c < 32) || (c > 126 && c < 161) || (c > 223 && c < 254)) {
    WidePath(tr, c);
  } else if (IsHalfKana(c) && kana == KanaRoute::Wide) {
    WideKanaPath(tr, c);
  } else if (IsHalfKana(c) && kana == KanaRoute::Half) {
    SingleByteKanaPath(tr, c);
  } else if (tr.cfg().alnum_full_width) {
    WidePath(tr, c);
  } else {
    SingleBytePath(tr, c);
  }
}

void WriteRow3(Translation& tr, uint8_t cell) {
  bool half =
      !tr.cfg().alnum_full_width &&
      ((cell >= 16 && cell <= 25) || (cell >= 33 && cell <= 58) || (cell >= 65 && cell <= 90));
  if (half) {
    SingleBytePath(tr, static_cast<uint8_t>(cell + 32));
  } else {
    JisPath(tr, 3, cell);
  }
}

void WriteRow1(Translation& tr, uint8_t cell) {
  const JobSnapshot& cfg = tr.cfg();
  if (uint8_t ascii = AsciiOfRow1(cell); ascii && !cfg.alnum_full_width) {
    SingleBytePath(tr, ascii);
  } else if (uint8_t kana = KanaOfRow1(cell); kana && !cfg.kana_full_width) {
    SingleByteKanaPath(tr, kana);
  } else {
    JisPath(tr, 1, cell);
  }
}

void WriteRow5(Translation& tr, uint8_t cell) {
  uint8_t kana = tr.cfg().kana_full_width ? 0 : KanaOfRow5(cell);
  if (kana) {
    SingleByteKanaPath(tr, kana);
  } else {
    JisPath(tr, 5, cell);
  }
}

}  // namespace

void WriteByteCharacter(Translation& tr, uint8_t code) {
  WriteSingleCode(tr, code, tr.cfg().kana_full_width ? KanaRoute::Wide : KanaRoute::Half);
}

void WriteJisCharacter(Translation& tr, uint8_t row, uint8_t cell) {
  switch (row) {
    case 0: {
      // Unlike the byte record, a value other than the two leaves katakana
      // to the alphanumeric rule.
      const JobSnapshot& cfg = tr.cfg();
      KanaRoute route = cfg.kana_full_width   ? KanaRoute::Wide
                        : cfg.kana_half_width ? KanaRoute::Half
                                              : KanaRoute::AsOther;
      WriteSingleCode(tr, cell, route);
      break;
    }
    case 1: WriteRow1(tr, cell); break;
    case 3: WriteRow3(tr, cell); break;
    case 5: WriteRow5(tr, cell); break;
    default: JisPath(tr, row, cell); break;
  }
}

}  // namespace tovrin
