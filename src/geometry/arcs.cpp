#include <cmath>

#include "geometry/encode_points.h"
#include "geometry/geometry_commands.h"
#include "geometry/plot_math.h"
#include "geometry/stroke_modes.h"
#include "glf/format_number.h"
#include "ofi/ofi_point.h"
#include "ofi/pending.h"
#include "ofi/translation.h"

namespace tovrin {
namespace {

constexpr NumberPattern kWhole("########");
constexpr NumberPattern kDegrees("###.0####");

ArcPoints ReadArcPoints(WordReader& reader) {
  const OfiPoint p1 = ReadPoint(reader);
  const OfiPoint p2 = ReadPoint(reader);
  const OfiPoint p3 = ReadPoint(reader);
  return {p1.x, p1.y, p2.x, p2.y, p3.x, p3.y};
}

// P1 and P2 are the ends of a diameter. The radius ends the command without
// a ";": the next mnemonic terminates it.
void DrawCircle(Translation& tr, const ArcPoints& p) {
  const DiameterCircle circle = CircleFromDiameter({p.x1, p.y1}, {p.x2, p.y2});
  const PlotPoint centre = ToPlotter(tr, circle.centre);
  const double radius = circle.radius * tr.sheet().DrawingScale / 25;
  if (!CheckFinite(tr, radius) || !tr.rejection.empty()) return;
  WritePoints(tr.out, "PE<=", {centre.x, centre.y}, ";CI");
  WriteNumber(tr.out, radius, kWhole);
}

// Nudges `p` as the centre needs.
void DrawArc(Translation& tr, ArcPoints& p) {
  double cx = 0, cy = 0;
  if (!ArcCentre(p, cx, cy)) return;  // collinear: nothing to draw
  const ArcSweepResult arc = ArcSweep(cx, cy, p);
  const double degrees = arc.sweep / kPi * 180;
  const SheetContext& s = tr.sheet();
  const double centre_x = (cy - s.OriginY) * s.DrawingScale / 25;
  const double centre_y = (cx - s.OriginX) * s.DrawingScale / 25;
  const PlotPoint start = ToPlotter(tr, p.x1, p.y1);
  if (!CheckFinite(tr, centre_x) || !CheckFinite(tr, centre_y) || !CheckFinite(tr, degrees) ||
      !tr.rejection.empty())
    return;
  WritePoints(tr.out, "PE<=", {start.x, start.y}, ";PDAA");
  WriteNumber(tr.out, centre_x, kWhole);
  tr.out.WriteRawByte(',');
  WriteNumber(tr.out, centre_y, kWhole);
  tr.out.WriteRawByte(',');
  WriteNumber(tr.out, degrees, kDegrees);
}

}  // namespace

// Arcs and circles always use the normal dash pattern.
void RunArc(Translation& tr) {
  FlushPending(tr);
  RestorePattern(tr);
  EnterStrokeMode(tr);
  ArcPoints p = ReadArcPoints(tr.reader);
  if (p.x1 == p.x3 && p.y1 == p.y3) {
    DrawCircle(tr, p);
  } else {
    DrawArc(tr, p);
  }
}

}  // namespace tovrin
