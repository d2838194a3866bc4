// One character of a text record: its position, font, class and label.
#pragma once

#include <cstdint>

#include "ofi/drawing_state.h"

namespace tovrin {

struct Translation;

// Pen-up absolute move to the current text position.
void MoveToGlyph(Translation& tr);
// The same, shifted by the kanji position correction (MojiX, MojiY).
void MoveToKanjiGlyph(Translation& tr);

// Size instructions, written only when the family or the size changed.
void SelectSingleByteFont(Translation& tr);
void SelectKanjiFont(Translation& tr);
// Redefines the single-byte font for another class (SD with its weight).
void SwitchByteClass(Translation& tr, ByteClass target);

// Full-width forms of single-byte codes, through the kanji font.
void WideFromSingle(Translation& tr, uint8_t code);
void WideFromKana(Translation& tr, uint8_t code);
// Two-byte label of a JIS row/cell, with the special symbol row's own forms.
void WriteJisLabel(Translation& tr, uint8_t row, uint8_t cell);

// One character at the current position: a byte of a byte record, or a
// row/cell pair of a JIS record (row 0: the cell is a single-byte code).
void WriteByteCharacter(Translation& tr, uint8_t code);
void WriteJisCharacter(Translation& tr, uint8_t row, uint8_t cell);

}  // namespace tovrin
