#include <cmath>
#include <cstdint>

#include "geometry/encode_points.h"
#include "geometry/geometry_commands.h"
#include "geometry/plot_math.h"
#include "geometry/polyline_moves.h"
#include "geometry/stroke_modes.h"
#include "glf/format_number.h"
#include "ofi/ofi_point.h"
#include "ofi/pending.h"
#include "ofi/translation.h"

namespace tovrin {
namespace {

constexpr NumberPattern kPatternLength("##0.0####");

// Shortened pattern for a dashed line of length `length` into `text`; false
// when the line type has none.
bool ShortPattern(LineType type, double length, double scale, double diag, std::string& text) {
  double pattern;
  const char* type_text;
  switch (type) {
    case LineType::Dashed:
      pattern = length * 2 / 3 * scale / diag * 100 / 1000;
      type_text = "LT2,";
      break;
    case LineType::Chain:
      pattern = length / 1.7 * scale / diag * 100 / 1000;
      type_text = "LT5,";
      break;
    case LineType::DoubleChain:
      pattern = length / 1.7 * scale / diag * 100 / 1000;
      type_text = "LT6,";
      break;
    default: return false;
  }
  NumberText number;
  FormatNumber(pattern, kPatternLength, number);
  text.assign(type_text);
  text.append(std::string_view(number));
  text.push_back(';');
  return true;
}

// Dash pattern for a single segment of length L: a dashed line too short for
// the normal pattern gets one scaled to its own length, so it still shows
// dashes. A run of similar short segments keeps one shortened pattern.
void ChoosePattern(Translation& tr, double length) {
  StrokeState& st = tr.stroke();
  const SheetContext& s = tr.sheet();
  if (length > 11 * s.DashUnit || st.line_type == LineType::Solid ||
      (length > 1.5 * s.DashUnit && st.line_type == LineType::Dashed)) {
    RestorePattern(tr);
    return;
  }
  if (st.adapted && (length * s.DrawingScale < 3000 ||
                     std::fabs(length - st.adapted_length) * s.DrawingScale < 2000))
    return;
  // Before the job's first sheet set-up there is no paper to scale against.
  const double diag = std::sqrt(static_cast<double>(s.SheetWidth) * s.SheetWidth +
                                static_cast<double>(s.SheetHeight) * s.SheetHeight);
  if (diag == 0) {
    RestorePattern(tr);
    return;
  }
  st.adapted = true;
  st.adapted_length = length;
  // Made in a buffer that lives for the drawing: no allocation per line.
  std::string& pattern = st.short_pattern;
  if (!ShortPattern(st.line_type, length, s.DrawingScale, diag, pattern)) {
    RestorePattern(tr);
    return;
  }
  // Written at once, so nothing is left pending for a later flush.
  st.pending.clear();
  if (pattern == st.last_written) return;
  tr.out.Write(pattern);
  st.last_written = pattern;
}

// One segment from `start`, the end point read from the stream.
void DrawSegment(Translation& tr, OfiPoint start) {
  const OfiPoint end = ReadPoint(tr.reader);
  const double length =
      std::sqrt((start.x - end.x) * (start.x - end.x) + (start.y - end.y) * (start.y - end.y));
  ChoosePattern(tr, length);
  const PlotPoint from = ToPlotter(tr, start.x, start.y);
  const int64_t dx = ScaleFloor(tr, end.y - start.y);
  const int64_t dy = ScaleFloor(tr, end.x - start.x);
  if (!tr.rejection.empty()) return;
  WritePoints(tr.out, "PE<=", {from.x, from.y, dx, dy}, ";");
}

// Moves recorded per block: each block of words is fetched from the
// reader at once.
constexpr size_t kMovesPerBlock = 256;
static_assert(2 * kMovesPerBlock <= WordReader::kMaxRunWords);

// Points after the first as pen-down relative moves. The words are read
// straight from the record a block at a time (the dispatch checked it is all
// in the file) and the moves go straight into the writer.
void DrawPolyline(Translation& tr, OfiPoint first, size_t points) {
  RestorePattern(tr);
  const double scale = tr.sheet().DrawingScale;
  const PlotPoint from = ToPlotter(tr, first.x, first.y);
  if (!tr.rejection.empty()) return;
  tr.out.Write("PE<=");
  RunningPosition position{first.y * scale / 25, first.x * scale / 25};
  size_t at = tr.reader.WordPosition() + 1;
  size_t lead = 2;  // the start point goes out with the first block
  for (size_t left = points - 1; left > 0;) {
    const size_t block = left < kMovesPerBlock ? left : kMovesPerBlock;
    const uint8_t* words = tr.reader.WordBytes(at, 2 * block);
    at += 2 * block;
    int64_t* v = tr.out.ValuesRoom(lead + 2 * block);
    if (lead) {
      *v++ = from.x;
      *v++ = from.y;
      lead = 0;
    }
    const MovesWritten moves = WriteMoves(words, block, scale, position, v);
    tr.out.CommitValues(moves.end);  // up to a move that did not fit, as written
    if (moves.stopped) {
      FloorChecked(tr, moves.vx);
      FloorChecked(tr, moves.vy);
      return;
    }
    left -= block;
  }
  tr.out.WriteRawByte(';');
}

}  // namespace

// Two count words, then N words of points.
size_t PolylineLength(const WordReader& reader) {
  if (!reader.Available(2)) return SIZE_MAX;
  return 2 + size_t{reader.PeekDoubleWord(1)};
}

void RunLine(Translation& tr) {
  FlushPending(tr);
  EnterStrokeMode(tr);
  DrawSegment(tr, ReadPoint(tr.reader));
}

// A record of N words draws floor(N / 2) points; a lone last word, or a
// record too short for a line, is skipped. Two points are a single line.
void RunPolyline(Translation& tr) {
  FlushPending(tr);
  EnterStrokeMode(tr);
  const uint64_t n = tr.reader.PeekDoubleWord(1);
  tr.reader.Advance();
  tr.reader.Advance();
  const size_t last_word = tr.reader.WordPosition() + static_cast<size_t>(n);
  if (n >= 4) {
    const OfiPoint first = ReadPoint(tr.reader);
    if (n < 6) {
      DrawSegment(tr, first);
    } else {
      DrawPolyline(tr, first, static_cast<size_t>(n / 2));
    }
  }
  tr.reader.SetWordPosition(last_word);
}

}  // namespace tovrin
