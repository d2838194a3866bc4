// Pen, line type and drawing mode of one drawing.
#pragma once

#include <string>

namespace tovrin {

struct Translation;

enum class DrawingMode { Stroke, Text, Pattern };  // "S", "T", "P"

struct StrokeState {
  std::string stroke_pen;   // pen of the current line class ("SP2")
  std::string line_type = "LT;";  // "LT;", "LT2;", "LT5;", "LT6;" or "LT4;"
  std::string pending;      // pen and line type chosen but not yet written
  std::string last_written; // the last stroke string written
  bool adapted = false;     // a shortened dash pattern is in force
  double adapted_length = 0;
  DrawingMode mode = DrawingMode::Stroke;
  bool in_block = false;    // inside a text or pattern block
};

// Writes the pending pen/line type (when new), then the pending text
// attributes. Every drawing and block command calls it first.
void FlushPending(Translation& tr);
// Writes the normal dash pattern again when a shortened one is in force.
void RestorePattern(Translation& tr);
void EnterStrokeMode(Translation& tr);
// The block pen switches; true when they switched (and wrote the pen).
bool EnterTextMode(Translation& tr);
bool EnterPatternMode(Translation& tr);

// The normal pattern instruction for a line type ("LT2,1.6;"); empty for
// solid and break lines.
std::string NormalPattern(const Translation& tr, const std::string& line_type);

// ESC '$' T, S and R.
void RunLineClass(Translation& tr);
void RunTextBlock(Translation& tr);
void RunPatternBlock(Translation& tr);

}  // namespace tovrin
