#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "geometry/plot_math.h"
#include "ofi/drawing_texts.h"
#include "ofi/translation.h"

namespace tovrin {
namespace {

struct PlotMathTest : ::testing::Test {
  JobContext job{MakeSnapshot(PlotSettings::Defaults("/tmp"))};
  GlfWriter out;
  Translation tr{job, out, {}};
  void SetUp() override { job.sheet.DrawingScale = 250; }
};

TEST_F(PlotMathTest, PointsSwapAxesAndFloorEachValue) {
  PlotPoint p = ToPlotter(tr, 100, 200);
  EXPECT_EQ(p.x, 2000);
  EXPECT_EQ(p.y, 1000);
  job.sheet.OriginX = 100.5;  // -0.5 OFI units -> -5 plotter units
  job.sheet.OriginY = 0.01;   // 199.99 -> 1999.9 -> 1999
  p = ToPlotter(tr, 100, 200);
  EXPECT_EQ(p.x, 1999);
  EXPECT_EQ(p.y, -5);
  job.sheet.DrawingScale = 1;
  EXPECT_EQ(ScaleFloor(tr, -5), -1);  // -0.2 floors to -1
  EXPECT_EQ(ScaleFloor(tr, 5), 0);    // 0.2 floors to 0
  EXPECT_TRUE(tr.rejection.empty());
}

TEST_F(PlotMathTest, OutOfRangeOrNotFiniteRejects) {
  EXPECT_EQ(FloorChecked(tr, 2147483647.9), 2147483647);
  EXPECT_EQ(FloorChecked(tr, -2147483648.0), -2147483648LL);
  EXPECT_EQ(FloorChecked(tr, -0.5), -1);
  EXPECT_EQ(FloorChecked(tr, -3.0), -3);
  EXPECT_EQ(FloorChecked(tr, 2.999), 2);
  EXPECT_TRUE(tr.rejection.empty());
  for (double v : {2147483648.0, -2147483648.5, 1e300, -HUGE_VAL}) {
    Translation t{job, out, {}};
    EXPECT_EQ(FloorChecked(t, v), 0);
    EXPECT_FALSE(t.rejection.empty()) << v;
  }
  job.sheet.DrawingScale = 1e9;
  EXPECT_EQ(ScaleFloor(tr, 65535), 0);
  EXPECT_EQ(tr.rejection, texts::kCoordinateRange);

  Translation other{job, out, {}};
  EXPECT_EQ(FloorChecked(other, std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(other.rejection, texts::kNotANumber);
  EXPECT_FALSE(CheckFinite(other, INFINITY));
  EXPECT_TRUE(CheckFinite(other, 1e300));
}

TEST(PlotMath, CentreOfTheExampleArc) {
  ArcPoints p{2000, 3000, 3000, 2000, 2000, 1000};
  double cx = 0, cy = 0;
  ASSERT_TRUE(ArcCentre(p, cx, cy));
  EXPECT_DOUBLE_EQ(p.x1, 2000.00001);  // X3 = X1 nudged
  EXPECT_EQ(p.x2, 3000);
  EXPECT_NEAR(cx, 2000, 1e-6);
  EXPECT_NEAR(cy, 2000, 1e-6);
  ArcSweepResult s = ArcSweep(cx, cy, p);
  EXPECT_NEAR(s.radius, 1000, 1e-6);
  EXPECT_DOUBLE_EQ(s.sweep, kPi);
}

TEST(PlotMath, NudgesRestartFromTheFirstRule) {
  // All X equal: X1 first, then X2 twice (once for X3, once for the nudged X1).
  ArcPoints p{5, 1, 5, 2, 5, 4};
  double cx = 0, cy = 0;
  EXPECT_TRUE(ArcCentre(p, cx, cy));  // nudged, not rejected: a huge circle
  EXPECT_DOUBLE_EQ(p.x1, 5 + 0.00001);
  EXPECT_DOUBLE_EQ(p.x2, 5 + 0.00001 + 0.00001);
  EXPECT_EQ(p.x3, 5);
  EXPECT_EQ(p.y1, 1);
  EXPECT_EQ(p.y2, 2);
  EXPECT_GT(std::fabs(cx), 1e4);
}

TEST(PlotMath, ObliqueStraightLineHasNoCentre) {
  ArcPoints p{100, 100, 200, 200, 400, 400};
  double cx = 0, cy = 0;
  EXPECT_FALSE(ArcCentre(p, cx, cy));
}

TEST(PlotMath, QuarterAnglesSnapWithinOneUnit) {
  // x runs along Y, y along X.
  EXPECT_EQ(AngleAround(0, 0, 500, 0.9), kPi / 2);
  EXPECT_EQ(AngleAround(0, 0, -500, -0.9), kPi / 2 + kPi);
  EXPECT_EQ(AngleAround(0, 0, 0.5, 500), 0);
  EXPECT_EQ(AngleAround(0, 0, -0.5, -500), kPi);
  EXPECT_DOUBLE_EQ(AngleAround(0, 0, 100, 100), std::atan(1.0));
  EXPECT_DOUBLE_EQ(AngleAround(0, 0, 100, -100), std::atan(-1.0) + kPi);
  EXPECT_DOUBLE_EQ(AngleAround(0, 0, -100, -100), std::atan(1.0) + kPi);
  EXPECT_DOUBLE_EQ(AngleAround(0, 0, -100, 100), std::atan(-1.0) + 2 * kPi);
}

TEST(PlotMath, SweepFollowsTheMiddlePoint) {
  // Centre (0, 0) r 1000; P1 at angle 0 (Y = 1000), P3 at pi/2 (X = 1000).
  ArcPoints ccw{0, 1000, 707, 707, 1000, 0};
  EXPECT_NEAR(ArcSweep(0, 0, ccw).sweep, kPi / 2, 1e-12);
  // Middle point on the long way round: clockwise three quarters.
  ArcPoints cw{0, 1000, -707, -707, 1000, 0};
  EXPECT_NEAR(ArcSweep(0, 0, cw).sweep, -(2 * kPi - kPi / 2), 1e-12);
  // Half circle with P2 on the negative side: -D, not D or D'.
  ArcPoints half{0, 1000, -1000, 0, 0, -1000};
  EXPECT_NEAR(ArcSweep(0, 0, half).sweep, -kPi, 1e-12);
}

TEST(PlotMath, SweepTieTakesTheEarlierCandidate) {
  // D = D' = pi and P2 equally far from both midpoints: the first wins.
  ArcPoints p{0, 1000, 0, 0, 0, -1000};
  EXPECT_DOUBLE_EQ(ArcSweep(0, 0, p).sweep, kPi);
}

// The sweep as the four candidates give it with a sine and cosine each.
double SweepFromAllFour(double cx, double cy, const ArcPoints& p) {
  const double theta3 = AngleAround(cx, cy, p.x3, p.y3);
  const double r = std::sqrt((p.x1 - cx) * (p.x1 - cx) + (p.y1 - cy) * (p.y1 - cy));
  const double theta1 = AngleAround(cx, cy, p.x1, p.y1);
  const double d = std::fabs(theta3 - theta1);
  const double d2 = 2 * kPi - d;
  const double phi[4] = {theta1 + d / 2, theta1 + d2 / 2, theta1 - d / 2, theta1 - d2 / 2};
  const double sweep[4] = {d, d2, -d, -d2};
  double dist[4];
  for (int i = 0; i < 4; ++i)
    dist[i] =
        std::fabs(cy + r * std::cos(phi[i]) - p.y2) + std::fabs(cx + r * std::sin(phi[i]) - p.x2);
  for (int i = 0; i < 4; ++i) {
    bool nearest = true;
    for (int j = 0; j < 4; ++j) nearest = nearest && dist[i] <= dist[j];
    if (nearest) return sweep[i];
  }
  return sweep[0];
}

TEST(PlotMath, SweepAgreesWithAllFourCandidatesWorkedOut) {
  // Random OFI arcs, half circles and middle points near the chord's
  // bisector (near ties), small and huge radii.
  std::mt19937 rng(7);
  auto coord = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int n = 0; n < 200000; ++n) {
    ArcPoints p;
    const int kind = n % 4;
    const int cx = coord(0, 65535), cy = coord(0, 65535), r = coord(1, kind == 3 ? 65535 : 3000);
    const double a1 = coord(0, 359) * kPi / 180, a3 = coord(0, 359) * kPi / 180;
    const double a2 = kind == 1 ? (a1 + a3) / 2 + kPi / 2 * coord(0, 3) : coord(0, 359) * kPi / 180;
    p.x1 = std::round(cx + r * std::sin(a1));
    p.y1 = std::round(cy + r * std::cos(a1));
    p.x2 = std::round(cx + r * std::sin(a2));
    p.y2 = std::round(cy + r * std::cos(a2));
    p.x3 = kind == 2 ? 2 * cx - p.x1 : std::round(cx + r * std::sin(a3));
    p.y3 = kind == 2 ? 2 * cy - p.y1 : std::round(cy + r * std::cos(a3));
    double ccx = 0, ccy = 0;
    if (!ArcCentre(p, ccx, ccy)) continue;
    ASSERT_EQ(ArcSweep(ccx, ccy, p).sweep, SweepFromAllFour(ccx, ccy, p))
        << p.x1 << "," << p.y1 << " " << p.x2 << "," << p.y2 << " " << p.x3 << "," << p.y3;
  }
}

}  // namespace
}  // namespace tovrin
