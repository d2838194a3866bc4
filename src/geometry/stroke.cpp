#include <cstdint>

#include "geometry/geometry_commands.h"
#include "geometry/stroke_modes.h"
#include "glf/format_number.h"
#include "ofi/pending.h"
#include "ofi/translation.h"

namespace tovrin {
namespace {

constexpr uint16_t kBlockStart = 0x5453;  // "ST"
constexpr uint16_t kBlockEnd = 0x4445;    // "ED"

std::string PatternText(const char* type, double length) {
  return std::string(type) + "," + FormatNumber(length, "##0.0####") + ";";
}

// Pen of a line-class code's width (low nibble); nullptr for other codes.
const std::string* PenForClass(const JobSnapshot& cfg, int code) {
  // clang-format off
  switch (code) {
    case 0: case 16: case 32: case 48: case 64: return &cfg.pen_medium;
    case 1: case 17: case 33: case 49: case 65: return &cfg.pen_thin;
    case 2: case 18: case 34: case 50: case 66: return &cfg.pen_thick;
    default: return nullptr;
  }
  // clang-format on
}

// The dashed styles and the multiple of the pattern length they use.
struct DashStyle {
  const char* type;
  double lengths;
};

DashStyle DashOf(LineType type) {
  switch (type) {
    case LineType::Dashed: return {"LT2", 1};
    case LineType::Chain: return {"LT5", 5};
    case LineType::DoubleChain: return {"LT6", 5};
    default: return {nullptr, 0};
  }
}

// Style of a line-class code (high nibble), for the codes that have a pen.
bool StyleForClass(int code, LineType& type) {
  if (code < 0 || code > 66 || code % 16 > 2) return false;
  static constexpr LineType kStyles[] = {LineType::Solid, LineType::Dashed, LineType::Chain,
                                         LineType::DoubleChain, LineType::Break};
  type = kStyles[code / 16];
  return true;
}

void ApplyLineStyle(Translation& tr, int code) {
  StrokeState& st = tr.stroke();
  LineType type;
  if (!StyleForClass(code, type)) return;
  st.line_type = type;
  if (type == LineType::Break) {
    // Break lines are drawn solid with their own pen.
    st.stroke_pen = tr.cfg().pen_break;
    st.pending = tr.cfg().pen_break + "LT;";
  } else if (type == LineType::Solid) {
    st.pending += "LT;";
  } else {
    st.pending += NormalPattern(tr.sheet(), type);
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

std::string NormalPattern(const SheetContext& sheet, LineType type) {
  const DashStyle dash = DashOf(type);
  if (!dash.type) return {};
  return PatternText(dash.type, dash.lengths * sheet.PatternLength);
}

namespace {

// NormalPattern, made once per pattern length.
const std::string& CachedNormalPattern(StrokeState& st, const SheetContext& sheet, LineType type) {
  static const std::string kNone;
  int slot;
  switch (type) {
    case LineType::Dashed: slot = 0; break;
    case LineType::Chain: slot = 1; break;
    case LineType::DoubleChain: slot = 2; break;
    default: return kNone;
  }
  if (!st.patterns_cached || st.patterns_length != sheet.PatternLength) {
    for (LineType t : {LineType::Dashed, LineType::Chain, LineType::DoubleChain})
      st.patterns[t == LineType::Dashed  ? 0
                  : t == LineType::Chain ? 1
                                         : 2] = NormalPattern(sheet, t);
    st.patterns_cached = true;
    st.patterns_length = sheet.PatternLength;
  }
  return st.patterns[slot];
}

}  // namespace

void RestorePatternNow(Translation& tr) {
  StrokeState& st = tr.stroke();
  if (!st.adapted) return;
  st.adapted = false;
  const std::string& pattern = CachedNormalPattern(st, tr.sheet(), st.line_type);
  if (pattern.empty()) return;
  tr.out.Write(pattern);
  // Recorded, so a later shortened pattern equal to the previous one is
  // written again instead of being taken as already in force.
  st.last_written = pattern;
}

void EnterStrokeModeNow(Translation& tr) {
  StrokeState& st = tr.stroke();
  if (st.mode == DrawingMode::Stroke || st.in_block) return;
  st.mode = DrawingMode::Stroke;
  tr.out.Write(st.stroke_pen, LineTypeText(st.line_type));
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
