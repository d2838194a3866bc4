#include "geometry/plot_math.h"

#include <cmath>

#include "ofi/drawing_texts.h"
#include "ofi/translation.h"

namespace tovrin {
namespace {

constexpr double kNudge = 0.00001;

double Angle(double value) {
  // Bring into [0, 2pi]; a non-finite value is left for the caller to reject.
  if (!std::isfinite(value)) return value;
  while (value > 2 * kPi) value -= 2 * kPi;
  while (value < 0) value += 2 * kPi;
  return value;
}

// One pass over the nudge rules; true when one fired.
bool NudgeOnce(ArcPoints& p) {
  if (p.x3 == p.x1) {
    p.x1 += kNudge;
  } else if (p.y3 == p.y1) {
    p.y1 += kNudge;
  } else if (p.x3 == p.x2 || p.x2 == p.x1) {
    p.x2 += kNudge;
  } else if (p.y3 == p.y2 || p.y2 == p.y1) {
    p.y2 += kNudge;
  } else {
    return false;
  }
  return true;
}

}  // namespace

int64_t RejectUnfloorable(Translation& tr, double value) {
  tr.Reject(std::isfinite(value) ? texts::kCoordinateRange : texts::kNotANumber);
  return 0;
}

bool CheckFinite(Translation& tr, double value) {
  if (std::isfinite(value)) return true;
  tr.Reject(texts::kNotANumber);
  return false;
}

DiameterCircle CircleFromDiameter(OfiPoint a, OfiPoint b) {
  DiameterCircle c;
  c.centre = {(a.x - b.x) / 2 + b.x, (a.y - b.y) / 2 + b.y};
  c.radius = std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y)) / 2;
  return c;
}

bool ArcCentre(ArcPoints& p, double& cx, double& cy) {
  // Each value only grows and stops equalling the fixed ones after a few
  // nudges; the bound is a guard, never reached with real coordinates.
  for (int i = 0; i < 64 && NudgeOnce(p); ++i) {}
  const double a1 = p.x2 - p.x1, a2 = p.x3 - p.x2;
  const double b1 = p.y2 - p.y1, b2 = p.y3 - p.y2;
  const double g1 = b2 / a2 - b1 / a1;
  const double g2 = a2 / b2 - a1 / b1;
  if (g1 == 0 || g2 == 0) return false;
  const double k1 = p.x1 * p.x1 - p.x2 * p.x2 + p.y1 * p.y1 - p.y2 * p.y2;
  const double k2 = p.x2 * p.x2 - p.x3 * p.x3 + p.y2 * p.y2 - p.y3 * p.y3;
  cy = (k1 / a1 - k2 / a2) / g1 / 2;
  cx = (k1 / b1 - k2 / b2) / g2 / 2;
  return true;
}

double AngleAround(double cx, double cy, double qx, double qy) {
  const double x = qy - cy;
  const double y = qx - cx;
  if (std::fabs(x) < 1) return Angle(y >= 0 ? kPi / 2 : kPi / 2 + kPi);
  if (std::fabs(y) < 1) return Angle(x >= 0 ? 0 : kPi);
  double a = std::atan(y / x);
  if (x < 0 && y >= 0) a += kPi;
  if (x <= 0 && y < 0) a += kPi;
  if (x > 0 && y < 0) a += 2 * kPi;
  return Angle(a);
}

namespace {

// How far the midpoint at angle phi (given by its cosine and sine) lies from P2.
double MidpointDistance(double cx, double cy, double r, double cos_phi, double sin_phi,
                        const ArcPoints& p) {
  return std::fabs(cy + r * cos_phi - p.y2) + std::fabs(cx + r * sin_phi - p.x2);
}

// The first candidate no farther than all four; the first when none compares
// (not-finite input, rejected by the caller).
int NearestCandidate(const double dist[4]) {
  for (int i = 0; i < 4; ++i) {
    bool nearest = true;
    for (int j = 0; j < 4; ++j) nearest = nearest && dist[i] <= dist[j];
    if (nearest) return i;
  }
  return 0;
}

// True when every two distances differ by more than `margin`.
bool Separated(const double dist[4], double margin) {
  for (int i = 0; i < 4; ++i)
    for (int j = i + 1; j < 4; ++j)
      if (!(std::fabs(dist[i] - dist[j]) > margin)) return false;
  return true;
}

}  // namespace

// The four midpoints are two pairs of opposite points: phi[1] is phi[2] + pi
// and phi[3] is phi[0] - pi, up to a few units in the last place of the
// angles and the 3.2e-15 by which kPi falls short of pi. So the distances of
// 1 and 3 are first estimated from the sines and cosines of 2 and 0; the
// estimate is off by less than 2e-14 of the magnitudes involved. When all
// four distances stand further apart than 1e-12 of those magnitudes, the
// estimates order them as the distances from their own sines and cosines
// would, and the nearest is the same; otherwise those are worked out too.
ArcSweepResult ArcSweep(double cx, double cy, const ArcPoints& p) {
  const double theta3 = AngleAround(cx, cy, p.x3, p.y3);
  ArcSweepResult result;
  result.radius = std::sqrt((p.x1 - cx) * (p.x1 - cx) + (p.y1 - cy) * (p.y1 - cy));
  const double theta1 = AngleAround(cx, cy, p.x1, p.y1);
  const double d = std::fabs(theta3 - theta1);
  const double d2 = 2 * kPi - d;
  const double phi[4] = {theta1 + d / 2, theta1 + d2 / 2, theta1 - d / 2, theta1 - d2 / 2};
  const double sweep[4] = {d, d2, -d, -d2};
  const double r = result.radius;
  const double cos0 = std::cos(phi[0]), sin0 = std::sin(phi[0]);
  const double cos2 = std::cos(phi[2]), sin2 = std::sin(phi[2]);
  double dist[4] = {
      MidpointDistance(cx, cy, r, cos0, sin0, p), MidpointDistance(cx, cy, r, -cos2, -sin2, p),
      MidpointDistance(cx, cy, r, cos2, sin2, p), MidpointDistance(cx, cy, r, -cos0, -sin0, p)};
  const double magnitude = std::fabs(cx) + std::fabs(cy) + r + std::fabs(p.x2) + std::fabs(p.y2);
  if (!Separated(dist, 1e-12 * magnitude)) {
    for (int i : {1, 3})
      dist[i] = MidpointDistance(cx, cy, r, std::cos(phi[i]), std::sin(phi[i]), p);
  }
  result.sweep = sweep[NearestCandidate(dist)];
  return result;
}

}  // namespace tovrin
