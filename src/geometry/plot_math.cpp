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

ArcSweepResult ArcSweep(double cx, double cy, const ArcPoints& p) {
  const double theta3 = AngleAround(cx, cy, p.x3, p.y3);
  ArcSweepResult result;
  result.radius = std::sqrt((p.x1 - cx) * (p.x1 - cx) + (p.y1 - cy) * (p.y1 - cy));
  const double theta1 = AngleAround(cx, cy, p.x1, p.y1);
  const double d = std::fabs(theta3 - theta1);
  const double d2 = 2 * kPi - d;
  const double phi[4] = {theta1 + d / 2, theta1 + d2 / 2, theta1 - d / 2, theta1 - d2 / 2};
  const double sweep[4] = {d, d2, -d, -d2};
  double dist[4];
  for (int i = 0; i < 4; ++i) {
    const double r = result.radius;
    dist[i] =
        std::fabs(cy + r * std::cos(phi[i]) - p.y2) + std::fabs(cx + r * std::sin(phi[i]) - p.x2);
  }
  // First candidate no farther than all four; the first when none compares
  // (not-finite input, rejected by the caller).
  result.sweep = sweep[0];
  for (int i = 0; i < 4; ++i) {
    bool nearest = true;
    for (int j = 0; j < 4; ++j) nearest = nearest && dist[i] <= dist[j];
    if (nearest) {
      result.sweep = sweep[i];
      break;
    }
  }
  return result;
}

}  // namespace tovrin
