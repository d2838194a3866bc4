// Point conversion, the three-point centre and the arc sweep, shared by the
// line, arc, wide-line, area and text commands.
#pragma once

#include <cstdint>

#include "ofi/ofi_point.h"
#include "ofi/translation.h"

namespace tovrin {

struct PlotPoint {
  int64_t x = 0;
  int64_t y = 0;
};

// Rejects the drawing for a value FloorChecked cannot take; returns 0.
int64_t RejectUnfloorable(Translation& tr, double value);

// True when FloorInRange can take the value (false for NaN too).
inline bool FloorFits(double value) { return value >= -2147483648.0 && value < 2147483648.0; }
// Truncation then a step down is floor in that range.
inline int64_t FloorInRange(double value) {
  const int64_t t = static_cast<int64_t>(value);
  return static_cast<double>(t) > value ? t - 1 : t;
}

// floor(value) with the same check, for values already in plotter units.
// Inline: every coordinate of every stroke goes through it.
inline int64_t FloorChecked(Translation& tr, double value) {
  return FloorFits(value) ? FloorInRange(value) : RejectUnfloorable(tr, value);
}

// floor(ofi_length * DrawingScale / 25): an OFI length in plotter units.
// A result outside the signed 32-bit range, or not finite, rejects the
// drawing (the value returned is then 0).
inline int64_t ScaleFloor(Translation& tr, double ofi_length) {
  return FloorChecked(tr, ofi_length * tr.sheet().DrawingScale / 25);
}

// True when the value is finite; otherwise rejects the drawing. For numbers
// written as decimal text (centres, radii, angles).
bool CheckFinite(Translation& tr, double value);

// Absolute plotter point of the OFI point (X = first word, Y = second word):
// x from Y - OriginY, y from X - OriginX, each floored; checked as above.
inline PlotPoint ToPlotter(Translation& tr, double X, double Y) {
  const SheetContext& s = tr.sheet();
  PlotPoint p;
  p.x = ScaleFloor(tr, Y - s.OriginY);
  p.y = ScaleFloor(tr, X - s.OriginX);
  return p;
}
inline PlotPoint ToPlotter(Translation& tr, OfiPoint p) { return ToPlotter(tr, p.x, p.y); }

// A circle given by the two ends of a diameter, in OFI units.
struct DiameterCircle {
  OfiPoint centre;
  double radius = 0;
};
DiameterCircle CircleFromDiameter(OfiPoint a, OfiPoint b);

// Three OFI points of an arc: P1 start, P2 on the arc, P3 end.
struct ArcPoints {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0, x3 = 0, y3 = 0;
};

// Nudges coincident coordinates by 0.00001 until no rule fires (X1 when
// X3 = X1, Y1 when Y3 = Y1, X2 when it equals X1 or X3, Y2 likewise), then
// finds the centre (cx, cy). False when the points lie on one straight line.
bool ArcCentre(ArcPoints& p, double& cx, double& cy);

// Angle of the point (qx, qy) around the centre, in [0, 2pi], with the
// exact quarter angles within 1 OFI unit of the axes.
double AngleAround(double cx, double cy, double qx, double qy);

struct ArcSweepResult {
  double radius = 0;
  double sweep = 0;  // radians, positive counter-clockwise on the plotter
};

// Radius and the signed sweep from P1 to P3 through the side nearest P2:
// the candidates D, D', -D, -D' in this order, the first whose midpoint is
// no farther from P2 than any other wins.
ArcSweepResult ArcSweep(double cx, double cy, const ArcPoints& p);

inline constexpr double kPi = 3.14159265358979;

}  // namespace tovrin
