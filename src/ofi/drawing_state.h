// The plain records a drawing's translation keeps: pen and line type, text
// attributes, and the text size a job carries from drawing to drawing. They
// sit below every handler so that geometry and text can both work on them.
#pragma once

#include <cstdint>
#include <string>

namespace tovrin {

enum class DrawingMode { Stroke, Text, Pattern };  // "S", "T", "P"

// Line styles a line class selects; Break lines are drawn solid with their
// own pen, but the style is what stroke mode restores after a block.
enum class LineType { Solid, Dashed, Chain, DoubleChain, Break };

// The style without its length, as stroke mode writes it ("LT;", "LT2;" …).
constexpr const char* LineTypeText(LineType type) {
  switch (type) {
    case LineType::Dashed: return "LT2;";
    case LineType::Chain: return "LT5;";
    case LineType::DoubleChain: return "LT6;";
    case LineType::Break: return "LT4;";
    case LineType::Solid: break;
  }
  return "LT;";
}

struct StrokeState {
  std::string stroke_pen;  // pen of the current line class ("SP2")
  LineType line_type = LineType::Solid;
  std::string pending;       // pen and line type chosen but not yet written
  std::string last_written;  // the last stroke string written
  bool adapted = false;      // a shortened dash pattern is in force
  double adapted_length = 0;
  DrawingMode mode = DrawingMode::Stroke;
  bool in_block = false;  // inside a text or pattern block
  // The normal dash patterns of the dashed types (LT2, LT5, LT6) for the
  // pattern length they were made for; restored after every shortened one.
  bool patterns_cached = false;
  double patterns_length = 0;
  std::string patterns[3];
  std::string short_pattern;  // room for the shortened pattern being made
};

// Which plotter font family the last size instruction selected.
enum class FontMode { None, SingleByte, Kanji };  // "", "OFF", "ON"

// Class the single-byte font is defined for ("英数", "記号", "ｶﾀｶﾅ").
enum class ByteClass { Alnum, Symbol, Kana };

// Carried from one drawing of a job to the next: an H command in one drawing
// still sizes the text of the next.
struct CarriedText {
  int64_t width = 0;       // W, OFI units, signed
  int64_t height = 0;      // Ht
  double pitch = 0;        // OFI units from one character to the next
  int64_t font_width = 0;  // W and Ht at the last size instruction
  int64_t font_height = 0;
};

// Text attributes of one drawing.
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

}  // namespace tovrin
