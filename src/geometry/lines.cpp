#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "geometry/encode_points.h"
#include "geometry/geometry_commands.h"
#include "geometry/plot_math.h"
#include "geometry/stroke_modes.h"
#include "ofi/format_number.h"
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

// floor(value) for a value FloorFits takes, without a branch: the step down
// from the nearest integer comes with every other negative move, which no
// branch predictor follows, and the running position waits for it. Adding
// and taking away 1.5 * 2^52 rounds to the nearest integer exactly (every
// double from 2^52 to 2^53 is an integer); the step is then a compare mask.
inline double FloorWithoutBranch(double value) {
  constexpr double kRounder = 6755399441055744.0;  // 1.5 * 2^52
  const double nearest = (value + kRounder) - kRounder;
#if defined(__SSE2__)
  const __m128d n = _mm_set_sd(nearest);
  const __m128d step = _mm_and_pd(_mm_cmpgt_sd(n, _mm_set_sd(value)), _mm_set_sd(1.0));
  return _mm_cvtsd_f64(_mm_sub_sd(n, step));
#else
  return nearest > value ? nearest - 1 : nearest;
#endif
}

// Moves recorded per block: each block of words is fetched from the
// reader at once.
constexpr size_t kMovesPerBlock = 256;
static_assert(2 * kMovesPerBlock <= WordReader::kMaxRunWords);

// Points after the first as pen-down relative moves. The running position
// advances by the moves written, so rounding never accumulates. The words
// are read straight from the record a block at a time (the dispatch checked
// it is all in the file) and the moves go straight into the writer.
void DrawPolyline(Translation& tr, OfiPoint first, size_t points) {
  RestorePattern(tr);
  const double scale = tr.sheet().DrawingScale;
  const PlotPoint from = ToPlotter(tr, first.x, first.y);
  if (!tr.rejection.empty()) return;
  tr.out.Write("PE<=");
  double px = first.y * scale / 25;
  double py = first.x * scale / 25;
  size_t at = tr.reader.WordPosition() + 1;
  size_t lead = 2;  // the start point goes out with the first block
  for (size_t left = points - 1; left > 0;) {
    const size_t block = left < kMovesPerBlock ? left : kMovesPerBlock;
    const uint8_t* word = tr.reader.WordBytes(at, 2 * block);
    at += 2 * block;
    int64_t* v = tr.out.ValuesRoom(lead + 2 * block);
    if (lead) {
      *v++ = from.x;
      *v++ = from.y;
      lead = 0;
    }
    for (size_t i = 0; i < block; ++i, word += 4) {
      const double qx = static_cast<uint16_t>(word[0] | word[1] << 8);
      const double qy = static_cast<uint16_t>(word[2] | word[3] << 8);
      const double vx = qy * scale / 25 - px;
      const double vy = qx * scale / 25 - py;
      if (!FloorFits(vx) || !FloorFits(vy)) {
        tr.out.CommitValues(v);  // the moves before it, as they were written
        FloorChecked(tr, vx);
        FloorChecked(tr, vy);
        return;
      }
      const double floor_x = FloorWithoutBranch(vx), floor_y = FloorWithoutBranch(vy);
      *v++ = static_cast<int64_t>(floor_x);
      *v++ = static_cast<int64_t>(floor_y);
      px += floor_x;
      py += floor_y;
    }
    tr.out.CommitValues(v);
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
