#include <cmath>
#include <cstdint>
#include <string_view>

#include "geometry/encode_points.h"
#include "geometry/fill_output.h"
#include "geometry/geometry_commands.h"
#include "geometry/plot_math.h"
#include "geometry/stroke_modes.h"
#include "ofi/ofi_point.h"
#include "ofi/pending.h"
#include "ofi/translation.h"

namespace tovrin {
namespace {

constexpr uint16_t kStraight = 0x86;
constexpr uint16_t kNewLoop = 0xC1;

// One boundary element; offsets count from the command word.
struct AreaElement {
  uint16_t code = 0;
  size_t loop_at = 0;    // a new loop's start point, 0 when none
  size_t points_at = 0;  // the element's first point word
  uint64_t k = 0;        // words consumed after the count, up to its code
  bool IsStraight() const { return code == kStraight; }
};

// Walks the element codes of the area under the cursor as the record is
// read (an element may run past N), calling visit for each. Returns the
// offset of the record's last word, or SIZE_MAX when a code word is
// missing. Every element consumes at least three words, and each code word
// must be in the file, so the walk is bounded by the file.
template <typename Visit>
size_t WalkArea(const WordReader& reader, Visit&& visit) {
  if (!reader.Available(2)) return SIZE_MAX;
  const uint64_t n = reader.PeekDoubleWord(1);
  size_t at = 5;  // count (2), kind, first point
  uint64_t k = 3;
  while (k < n) {
    AreaElement e;
    if (!reader.Available(at + 1)) return SIZE_MAX;
    e.code = reader.Peek(++at);
    ++k;
    if (e.code == kNewLoop) {
      e.loop_at = at + 1;
      at += 2;
      k += 2;
      if (!reader.Available(at + 1)) return SIZE_MAX;
      e.code = reader.Peek(++at);
      ++k;
    }
    e.k = k;
    e.points_at = at + 1;
    const size_t words = e.IsStraight() ? 2 : 4;
    at += words;
    k += words;
    visit(e);
  }
  return at;
}

// The absolute plotter point of `p` between `before` and `after`.
void WriteAt(Translation& tr, std::string_view before, OfiPoint p, std::string_view after) {
  const PlotPoint q = ToPlotter(tr, p);
  WritePoints(tr.out, before, {q.x, q.y}, after);
}

void WriteStraight(Translation& tr, OfiPoint end) { WriteAt(tr, "PE=", end, ";"); }

// A full circle in polygon mode: its own loop around the true centre.
void WriteCircle(Translation& tr, OfiPoint p1, OfiPoint p2) {
  const DiameterCircle circle = CircleFromDiameter(p1, p2);
  WriteAt(tr, "PM1PE<=", circle.centre, ";CI");
  tr.out.Write(PlotterLength(tr, circle.radius));
}

// An arc piece from the pen position p1 through p2 to p3.
void WriteArcPiece(Translation& tr, OfiPoint p1, OfiPoint p2, OfiPoint p3) {
  if (p1.x == p3.x && p1.y == p3.y) {
    WriteCircle(tr, p1, p2);
    return;
  }
  ArcPoints arc{p1.x, p1.y, p2.x, p2.y, p3.x, p3.y};
  double cx = 0, cy = 0;
  if (!ArcCentre(arc, cx, cy)) {
    // Three points on one line: a straight piece keeps the boundary closed.
    WriteStraight(tr, p3);
    return;
  }
  const double sweep = ArcSweep(cx, cy, arc).sweep;
  const CentreFields centre(tr, cx, cy);
  const Degrees degrees(tr, sweep);
  tr.out.Write(";PDAA", centre.x, ",", centre.y, ",", degrees);
}

}  // namespace

size_t AreaLength(const WordReader& reader) {
  return WalkArea(reader, [](const AreaElement&) {});
}

void RunArea(Translation& tr) {
  FlushPending(tr);
  RestorePattern(tr);
  WordReader& reader = tr.reader;
  const OfiPoint first = PeekPoint(reader, 4);
  OfiPoint current = first;
  const size_t last = WalkArea(reader, [&](const AreaElement& e) {
    if (!tr.rejection.empty()) return;
    if (e.loop_at != 0) {
      current = PeekPoint(reader, e.loop_at);
      WriteAt(tr, "PM1PE<=", current, ";");
    }
    if (e.k == 4) {  // the area's first element opens the polygon
      WriteAt(tr, "PE<=", first, ";PM0");
    }
    if (e.IsStraight()) {
      current = PeekPoint(reader, e.points_at);
      WriteStraight(tr, current);
      return;
    }
    const OfiPoint middle = PeekPoint(reader, e.points_at);
    const OfiPoint end = PeekPoint(reader, e.points_at + 2);
    WriteArcPiece(tr, current, middle, end);
    current = end;
  });
  tr.out.Write("PM2FPEP");
  // The dispatch ran the record only when all its words are in the file.
  if (last != SIZE_MAX) reader.SetWordPosition(reader.WordPosition() + last);
}

}  // namespace tovrin
