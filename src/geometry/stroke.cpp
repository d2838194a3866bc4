#include <cstdint>

#include "geometry/stroke_state.h"
#include "ofi/format_number.h"
#include "ofi/translation.h"
#include "text/text_state.h"

namespace tovrin {
namespace {

constexpr uint16_t kBlockStart = 0x5453;  // "ST"
constexpr uint16_t kBlockEnd = 0x4445;    // "ED"

std::string PatternText(const char* type, double length) {
  return std::string(type) + "," + FormatNumber(length, "##0.0####") + ";";
}

// Pen of a line-class code's width (low nibble); nullptr for other codes.
const std::string* PenForClass(const JobSnapshot& cfg, int code) {
  switch (code) {
    case 0: case 16: case 32: case 48: case 64: return &cfg.pen_medium;
    case 1: case 17: case 33: case 49: case 65: return &cfg.pen_thin;
    case 2: case 18: case 34: case 50: case 66: return &cfg.pen_thick;
    default: return nullptr;
  }
}

void ApplyLineStyle(Translation& tr, int code) {
  StrokeState& st = tr.stroke();
  const double length = tr.sheet().PatternLength;
  switch (code) {
    case 0: case 1: case 2:
      st.line_type = "LT;";
      st.pending += "LT;";
      break;
    case 16: case 17: case 18:
      st.line_type = "LT2;";
      st.pending += PatternText("LT2", length);
      break;
    case 32: case 33: case 34:
      st.line_type = "LT5;";
      st.pending += PatternText("LT5", 5 * length);
      break;
    case 48: case 49: case 50:
      st.line_type = "LT6;";
      st.pending += PatternText("LT6", 5 * length);
      break;
    case 64: case 65: case 66:
      // Break lines are drawn solid with their own pen.
      st.line_type = "LT4;";
      st.stroke_pen = tr.cfg().pen_break;
      st.pending = tr.cfg().pen_break + "LT;";
      break;
    default:
      break;
  }
}

// Switches to a block pen: from strokes always, from the other block only
// when the two block pens differ. True when it switched.
bool EnterBlockMode(Translation& tr, DrawingMode target, const std::string& pen,
                    const std::string& other_pen) {
  StrokeState& st = tr.stroke();
  bool from_stroke = st.mode == DrawingMode::Stroke;
  if (!from_stroke && (st.mode == target || pen == other_pen)) return false;
  st.mode = target;
  tr.out.Write(pen, "LT;");
  return true;
}

}  // namespace

std::string NormalPattern(const Translation& tr, const std::string& line_type) {
  const double length = tr.sheet().PatternLength;
  if (line_type == "LT2;") return PatternText("LT2", length);
  if (line_type == "LT5;") return PatternText("LT5", 5 * length);
  if (line_type == "LT6;") return PatternText("LT6", 5 * length);
  return {};
}

void FlushPending(Translation& tr) {
  StrokeState& st = tr.stroke();
  if (st.pending.empty() || st.pending == st.last_written) return;
  tr.out.Write(st.pending);
  st.last_written = std::move(st.pending);
  st.pending.clear();
  FlushTextAttributes(tr);
}

void RestorePattern(Translation& tr) {
  StrokeState& st = tr.stroke();
  if (!st.adapted) return;
  st.adapted = false;
  std::string pattern = NormalPattern(tr, st.line_type);
  if (pattern.empty()) return;
  tr.out.Write(pattern);
  // Recorded, so a later shortened pattern equal to the previous one is
  // written again instead of being taken as already in force.
  st.last_written = std::move(pattern);
}

void EnterStrokeMode(Translation& tr) {
  StrokeState& st = tr.stroke();
  if (st.mode == DrawingMode::Stroke || st.in_block) return;
  st.mode = DrawingMode::Stroke;
  tr.out.Write(st.stroke_pen, st.line_type);
}

bool EnterTextMode(Translation& tr) {
  return EnterBlockMode(tr, DrawingMode::Text, tr.cfg().pen_text, tr.cfg().pen_pattern);
}

bool EnterPatternMode(Translation& tr) {
  return EnterBlockMode(tr, DrawingMode::Pattern, tr.cfg().pen_pattern, tr.cfg().pen_text);
}

void RunLineClass(Translation& tr) {
  int code = tr.reader.ReadUnsigned() & 0xFF;
  if (code == tr.job.last_line_class) return;
  StrokeState& st = tr.stroke();
  st.adapted = false;
  if (const std::string* pen = PenForClass(tr.cfg(), code)) {
    st.stroke_pen = *pen;
    st.pending = *pen;
  }
  ApplyLineStyle(tr, code);
  tr.job.last_line_class = code;
}

namespace {

// The block commands drop a shortened dash pattern whenever they switch pens.
void RunBlock(Translation& tr, bool (*enter)(Translation&)) {
  FlushPending(tr);
  uint16_t param = tr.reader.ReadUnsigned();
  if (param == kBlockStart) {
    tr.stroke().in_block = true;
    if (enter(tr)) tr.stroke().adapted = false;
  } else if (param == kBlockEnd) {
    tr.stroke().in_block = false;
  }
}

}  // namespace

void RunTextBlock(Translation& tr) { RunBlock(tr, EnterTextMode); }
void RunPatternBlock(Translation& tr) { RunBlock(tr, EnterPatternMode); }

}  // namespace tovrin
