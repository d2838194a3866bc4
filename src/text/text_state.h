// Text attributes of a drawing and those carried through a job.
#pragma once

#include <cstdint>
#include <string>

namespace tovrin {

struct Translation;

// Which plotter font family the last size instruction selected.
enum class FontMode { None, SingleByte, Kanji };  // "", "OFF", "ON"

// Class the single-byte font is defined for ("英数", "記号", "ｶﾀｶﾅ").
enum class ByteClass { Alnum, Symbol, Kana };

// Carried from one drawing of a job to the next: an H command in one drawing
// still sizes the text of the next.
struct TextJobState {
  int64_t width = 0;   // W, OFI units, signed
  int64_t height = 0;  // Ht
  double pitch = 0;    // OFI units from one character to the next
  int64_t font_width = 0;  // W and Ht at the last size instruction
  int64_t font_height = 0;
};

// Per drawing.
struct TextState {
  double last_pitch = 0;  // pitch the extra space was last computed for
  // Direction; 0 until the first J/1, so text then neither turns nor advances.
  double cos_d = 0;
  double sin_d = 0;
  double x = 0, y = 0;    // current character position, OFI units
  double dx = 0, dy = 0;  // advance per character
  std::string pending_sl, last_sl;
  std::string pending_di, last_di;
  std::string pending_es, last_es;
  FontMode font_mode = FontMode::None;
  // The sheet header leaves the standard font defined for symbols.
  ByteClass byte_class = ByteClass::Symbol;
};

// Writes the pending direction, extra-space and slant strings, each only when
// new. Called by FlushPending and by the text records.
void FlushTextAttributes(Translation& tr);

}  // namespace tovrin
