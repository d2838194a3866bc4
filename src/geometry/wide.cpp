#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "geometry/encode_points.h"
#include "geometry/fill_output.h"
#include "geometry/geometry_commands.h"
#include "geometry/plot_math.h"
#include "geometry/stroke_modes.h"
#include "glf/format_number.h"
#include "ofi/ofi_point.h"
#include "ofi/pending.h"
#include "ofi/translation.h"

namespace tovrin {
namespace {

// Words of B before its points: T, M, c (2), W; plus 2 per pattern element.
constexpr size_t kWideLineFixedWords = 5;
// Words of E after its pattern: c (2), W, three points.
constexpr size_t kWideArcTailWords = 9;

constexpr NumberPattern kDegrees("###.0####");

// Pattern steps one record may take. Real patterns need a few per segment;
// tiny elements along a long path would otherwise write without end.
size_t WalkBudget(size_t record_words) { return (size_t{1} << 14) + 16 * record_words; }

struct Pattern {
  uint16_t start = 0;  // T: element at the start point
  std::vector<double> lengths;
  double used = 0;  // c: part of element T already used

  // No element has a length: a walk would never advance, so the path is
  // drawn as one "on" piece instead.
  bool Solid() const {
    return std::all_of(lengths.begin(), lengths.end(), [](double v) { return v == 0; });
  }
};

Pattern ReadPattern(WordReader& reader, double units_per_length) {
  Pattern p;
  p.start = reader.ReadUnsigned();
  const uint16_t count = reader.ReadUnsigned();
  p.lengths.reserve(count);
  for (uint16_t i = 0; i < count; ++i)
    p.lengths.push_back(reader.ReadDoubleWord() / units_per_length);
  p.used = reader.ReadDoubleWord() / units_per_length;
  return p;
}

bool IsOn(size_t element) { return element % 2 == 0; }

// Break points are kept to 0.001 OFI units, rounded as the number formats round.
constexpr NumberPattern kMilli("0.000");
double RoundMilli(double v) {
  uint64_t milli = 0;
  if (std::isfinite(v) && QuickRound(v, 3, milli)) {
    // The text would be the digits of `milli` with the point before the last
    // three: read back, that is milli / 1000 correctly rounded, as the
    // division is.
    const double magnitude = static_cast<double>(milli) / 1000;
    return v < 0 && milli != 0 ? -magnitude : magnitude;
  }
  NumberText text;
  FormatNumber(v, kMilli, text);
  const std::string_view digits(text);
  double value = 0;
  // The text is a plain decimal; from_chars reads it as strtod does.
  std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return value;
}

class BreakList {
 public:
  void Add(OfiPoint p) { points_.push_back({RoundMilli(p.x), RoundMilli(p.y)}); }
  const std::vector<OfiPoint>& Points() const { return points_; }

 private:
  std::vector<OfiPoint> points_;
};

// Walks the pattern along the polyline, recording where "on" pieces start
// and end. The cursor is on W; reads `count` points.
BreakList WalkPolyline(WordReader& reader, size_t count, const Pattern& pattern, size_t budget) {
  BreakList breaks;
  const bool solid = pattern.Solid();
  const bool walks = !solid && pattern.lengths.size() > 1;
  const size_t m = pattern.lengths.size();
  size_t k = solid ? 0 : pattern.start;
  double used = pattern.used;
  OfiPoint p = ReadPoint(reader);
  if (IsOn(k)) breaks.Add(p);
  for (size_t i = 1; i < count; ++i) {
    const OfiPoint q = ReadPoint(reader);
    if (i > 1 && IsOn(k)) breaks.Add(p);  // the vertex starts the next piece
    const double dx = q.x - p.x, dy = q.y - p.y;
    double length = std::sqrt(dx * dx + dy * dy);
    const double ux = length == 0 ? 0 : dx / length;
    const double uy = length == 0 ? 0 : dy / length;
    while (walks) {
      if (k > m - 1) k = 0;
      const double remaining = pattern.lengths[k] - used;
      // An element ending exactly on the vertex counts as ending in the next segment.
      if (!(length - remaining > 0) || budget == 0) {
        used += length;
        break;
      }
      --budget;
      p.x += remaining * ux;
      p.y += remaining * uy;
      breaks.Add(p);
      used = 0;
      length -= remaining;
      ++k;
    }
    if (IsOn(k)) breaks.Add(q);
    p = q;
  }
  return breaks;
}

// Moves between corners, floored one by one.
int64_t MoveX(Translation& tr, OfiPoint from, OfiPoint to) { return ScaleFloor(tr, to.y - from.y); }
int64_t MoveY(Translation& tr, OfiPoint from, OfiPoint to) { return ScaleFloor(tr, to.x - from.x); }

// One "on" piece: a filled and edged rectangle of half width w along A->Z.
void WriteRectangle(Translation& tr, OfiPoint a, OfiPoint z, double w) {
  if (a.x == z.x && a.y == z.y) return;
  const double dx = z.x - a.x, dy = z.y - a.y;
  const double length = std::sqrt(dx * dx + dy * dy);
  const double ux = dx / length, uy = dy / length;
  const OfiPoint c1{a.x + w * uy, a.y - w * ux};
  const OfiPoint c2{a.x - w * uy, a.y + w * ux};
  const OfiPoint c3{a.x + length * ux - w * uy, a.y + length * uy + w * ux};
  const OfiPoint c4{a.x + length * ux + w * uy, a.y + length * uy - w * ux};
  const PlotPoint start = ToPlotter(tr, c1);
  WritePoints(tr.out, "PE<=", {start.x, start.y}, ";PM0;");
  WritePoints(tr.out, "PE",
              {MoveX(tr, c1, c2), MoveY(tr, c1, c2), MoveX(tr, c2, c3), MoveY(tr, c2, c3),
               MoveX(tr, c3, c4), MoveY(tr, c3, c4), MoveX(tr, c4, c1), MoveY(tr, c4, c1)},
              ";PM2FPEP");
}

// Points of a B record with `n` words after its count, the cursor on the
// second count word; 0 when the words cannot hold two points.
size_t WidePolylinePoints(const WordReader& reader, uint32_t n) {
  if (n < kWideLineFixedWords + 4) return 0;
  const size_t pattern_words = 2 * size_t{reader.Peek(2)};
  if (n < kWideLineFixedWords + pattern_words + 4) return 0;
  return (n - kWideLineFixedWords - pattern_words) / 2;
}

struct Ring {
  double cx = 0, cy = 0;
  double outer = 0, inner = 0;
  // The centre's text, made when the first sector is written: the same for
  // every sector of the ring.
  std::optional<CentreFields> centre;
};

// "cx,cy,degrees,3;" of an AA instruction: the sweep in degrees, a 3-degree
// chord angle.
void WriteArcTail(Translation& tr, const CentreFields& centre, double radians) {
  const double degrees = radians / kPi * 180;
  CheckFinite(tr, degrees);
  tr.out.Write(centre.x, ",", centre.y, ",");
  WriteNumber(tr.out, degrees, kDegrees);
  tr.out.Write(",3;");
}

// A ring sector from angle a over d (radians, signed): outer arc out, inner
// arc back, chord angle 3 degrees, filled and edged.
void WriteSector(Translation& tr, Ring& ring, double a, double d) {
  const OfiPoint outer_start{ring.cx + ring.outer * std::sin(a),
                             ring.cy + ring.outer * std::cos(a)};
  const OfiPoint inner_end{ring.cx + ring.inner * std::sin(a + d),
                           ring.cy + ring.inner * std::cos(a + d)};
  if (!ring.centre) ring.centre.emplace(tr, ring.cx, ring.cy);
  const CentreFields& centre = *ring.centre;
  const PlotPoint from = ToPlotter(tr, outer_start);
  WritePoints(tr.out, "PE<=", {from.x, from.y}, ";PM0PDAA");
  WriteArcTail(tr, centre, d);
  const PlotPoint to = ToPlotter(tr, inner_end);
  WritePoints(tr.out, "PE=", {to.x, to.y}, ";AA");
  WriteArcTail(tr, centre, -d);
  WritePoints(tr.out, "PE=", {from.x, from.y}, ";PM2FPEP");
}

// Angle of the start point around the centre: exact quarter angles only
// when the point lies exactly on the axis.
double StartAngle(double cx, double cy, OfiPoint p) {
  const double x = p.y - cy;
  const double y = p.x - cx;
  if (x == 0) return y >= 0 ? kPi / 2 : 3 * kPi / 2;
  double a = std::atan(y / x);
  if (x < 0) a += kPi;
  if (x >= 0 && y < 0) a += 2 * kPi;
  return a;
}

// The pattern walked counter-clockwise from `start` over `sweep`.
void WalkArc(Translation& tr, Ring& ring, const Pattern& pattern, double start, double sweep,
             size_t budget) {
  const size_t m = pattern.lengths.size();
  size_t k = pattern.start;
  double used = pattern.used;
  double travelled = 0;
  double left = sweep;
  while (tr.rejection.empty()) {
    if (k > m - 1) k = 0;
    const double remaining = pattern.lengths[k] - used;
    if (!(left - remaining > 0) || budget == 0) {
      if (IsOn(k)) WriteSector(tr, ring, start + travelled, left);
      return;
    }
    --budget;
    if (IsOn(k)) WriteSector(tr, ring, start + travelled, remaining);
    travelled += remaining;
    used = 0;
    left -= remaining;
    ++k;
  }
}

}  // namespace

size_t WidePolylineLength(const WordReader& reader) {
  if (!reader.Available(2)) return SIZE_MAX;
  return 2 + size_t{reader.PeekDoubleWord(1)};
}

size_t WideArcLength(const WordReader& reader) {
  if (!reader.Available(2)) return SIZE_MAX;
  return 2 + 2 * size_t{reader.Peek(2)} + kWideArcTailWords;
}

void RunWidePolyline(Translation& tr) {
  WordReader& reader = tr.reader;
  FlushPending(tr);
  RestorePattern(tr);
  EnterStrokeMode(tr);
  const size_t command = reader.WordPosition();
  const uint32_t n = reader.ReadDoubleWord();
  // The record always ends after its N words, whatever its fields say.
  const size_t end = command + 2 + size_t{n};
  const size_t points = WidePolylinePoints(reader, n);
  if (points >= 2) {
    const Pattern pattern = ReadPattern(reader, 1000);
    const double w = reader.ReadUnsigned() / 2.0;
    const BreakList breaks = WalkPolyline(reader, points, pattern, WalkBudget(2 + size_t{n}));
    const std::vector<OfiPoint>& list = breaks.Points();
    for (size_t i = 0; i + 1 < list.size() && tr.rejection.empty(); i += 2)
      WriteRectangle(tr, list[i], list[i + 1], w);
  }
  reader.SetWordPosition(end);
}

void RunWideArc(Translation& tr) {
  WordReader& reader = tr.reader;
  FlushPending(tr);
  RestorePattern(tr);
  EnterStrokeMode(tr);
  const Pattern pattern = ReadPattern(reader, 1000000);
  const double w = reader.ReadUnsigned() / 2.0;
  const OfiPoint p1 = ReadPoint(reader), p2 = ReadPoint(reader), p3 = ReadPoint(reader);
  ArcPoints arc{p1.x, p1.y, p2.x, p2.y, p3.x, p3.y};
  double cx = 0, cy = 0, sweep = 2 * kPi;
  if (p1.x == p3.x && p1.y == p3.y) {
    const OfiPoint centre = CircleFromDiameter(p1, p2).centre;
    cx = centre.x;
    cy = centre.y;
  } else {
    if (!ArcCentre(arc, cx, cy)) return;  // on one straight line
    sweep = ArcSweep(cx, cy, arc).sweep;
  }
  const OfiPoint start{arc.x1, arc.y1};  // with any nudge
  const double r = std::sqrt((start.x - cx) * (start.x - cx) + (start.y - cy) * (start.y - cy));
  Ring ring{cx, cy, r + w, r - w, std::nullopt};
  const double a = StartAngle(cx, cy, start);
  if (pattern.Solid() || pattern.lengths.size() == 1) {
    WriteSector(tr, ring, a, sweep);
    return;
  }
  WalkArc(tr, ring, pattern, a, sweep, WalkBudget(2 * pattern.lengths.size() + 11));
}

}  // namespace tovrin
