#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "geometry/encode_points.h"
#include "geometry/plot_math.h"
#include "ofi_builder.h"
#include "translate.h"

namespace tovrin::test {
namespace {

std::string Encoded(std::initializer_list<int64_t> values) { return Enc(values); }

// A filled rectangle: the first corner, then the four sides as moves.
std::string Rect(int64_t x, int64_t y, std::initializer_list<int64_t> sides12,
                 std::initializer_list<int64_t> sides34) {
  return "PE<=" + Encoded({x, y}) + ";PM0;PE" + Encoded(sides12) + Encoded(sides34) + ";PM2FPEP";
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// One plotter unit per OFI unit keeps the expected moves readable.
struct WideTest : ::testing::Test {
  JobContext job{MakeSnapshot(PlotSettings::Defaults("/tmp"))};
  WideTest() { job.sheet.DrawingScale = 25; }
  std::string Body(OfiBuilder b) { return Translate(job, b.End()).Body(); }
};

// Width 2 along (100,100)->(110,100) and (110,100)->(110,120).
const std::string kFirstSide = Rect(99, 100, {2, 0, 0, 10}, {-2, 0, 0, -10});
const std::string kSecondSide = Rect(100, 111, {0, -2, 20, 0}, {0, 2, -20, 0});

// A short area put after a record shows where the reader went on.
void ThenArea(OfiBuilder& b) { b.Area(0, 0, {OfiBuilder::kAreaLine, 0, 5}); }
const std::string kArea = "PE<=" + Encoded({0, 0}) + ";PM0PE=" + Encoded({5, 0}) + ";PM2FPEP";

TEST_F(WideTest, SingleElementDrawsEverySegmentOrNothing) {
  const std::initializer_list<int> path = {100, 100, 110, 100, 110, 120};
  EXPECT_EQ(Body(OfiBuilder().WidePolyline(0, {5000}, 0, 2, path)), kFirstSide + kSecondSide);
  EXPECT_EQ(Body(OfiBuilder().WidePolyline(1, {5000}, 0, 2, path)), "");
  // No element with a length, or none at all: solid whatever T says.
  EXPECT_EQ(Body(OfiBuilder().WidePolyline(1, {0, 0}, 0, 2, path)), kFirstSide + kSecondSide);
  EXPECT_EQ(Body(OfiBuilder().WidePolyline(1, {}, 0, 2, path)), kFirstSide + kSecondSide);
}

TEST_F(WideTest, BreakOnAVertexMovesOnInTheNextSegment) {
  // Dash 10 ends exactly on the vertex; gap 5, dash 10 follow.
  std::string body =
      Body(OfiBuilder().WidePolyline(0, {10000, 5000}, 0, 2, {100, 100, 110, 100, 130, 100}));
  EXPECT_EQ(body, kFirstSide + Rect(99, 115, {2, 0, 0, 10}, {-2, 0, 0, -10}));
}

TEST_F(WideTest, DashAcrossAVertexIsTwoRectanglesMeetingThere) {
  std::string body =
      Body(OfiBuilder().WidePolyline(0, {15000, 100000}, 0, 2, {100, 100, 110, 100, 110, 120}));
  EXPECT_EQ(body, kFirstSide + Rect(100, 111, {0, -2, 5, 0}, {0, 2, -5, 0}));
}

TEST_F(WideTest, CornersComeFromBreakPointsRoundedToThousandths) {
  job.sheet.DrawingScale = 250000;  // 10000 plotter units per OFI unit
  // Gap 5 first: the dash starts at 13.5355339..., kept as 13.536.
  std::string body = Body(OfiBuilder().WidePolyline(1, {100000, 5000}, 0, 0, {10, 10, 20, 20}));
  EXPECT_EQ(body, Rect(135360, 135360, {0, 0, 64640, 64640}, {0, 0, -64640, -64640}));
}

TEST_F(WideTest, RecordEndsAfterItsCountWhateverItsFieldsSay) {
  // One point: nothing drawn, its words are still skipped.
  OfiBuilder one;
  one.WidePolyline(0, {5000}, 0, 2, {100, 100});
  ThenArea(one);
  EXPECT_EQ(Body(one), kArea);
  // A count too short for its pattern: no points, and only N tells the length.
  OfiBuilder tiny;
  tiny.Word(OfiBuilder::kEscDollar).Word(0xFF42).Count(2).Words({0, 60000});
  ThenArea(tiny);
  EXPECT_EQ(Body(tiny), kArea);
  // An odd last point word is skipped.
  OfiBuilder odd;
  odd.WidePolyline(0, {5000}, 0, 2, {100, 100, 110, 100, 0x241B});
  ThenArea(odd);
  EXPECT_EQ(Body(odd), kFirstSide + kArea);
}

TEST_F(WideTest, IncompleteRecordWritesNothing) {
  OfiBuilder b;
  b.Word(OfiBuilder::kEscDollar).Word(0xFF42).Count(40).Words({0, 1}).Count(5000).Count(0);
  b.Words({2, 100, 100, 110, 100});
  Translated t = Translate(job, b);
  EXPECT_EQ(t.Body(), "");
  EXPECT_EQ(t.result.end, DrawingEnd::Incomplete);
}

TEST_F(WideTest, TinyPatternOnALongPathStaysBounded) {
  OfiBuilder b;
  b.WidePolyline(0, {1, 1}, 0, 2, {0, 0, 60000, 60000, 0, 60000});
  ThenArea(b);
  std::string body = Body(b);
  EXPECT_LT(Count(body, ";PM2FPEP"), 40000u);
  EXPECT_EQ(body.substr(body.size() - 7), "PM2FPEP");
  EXPECT_EQ(body.substr(body.size() - kArea.size()), kArea);  // the reader went on
}

// Wide arcs: origin 0.5 keeps the ring's points off exact plotter-unit edges.
struct WideArcTest : WideTest {
  WideArcTest() {
    job.sheet.OriginX = 0.5;
    job.sheet.OriginY = 0.5;
  }
  static std::string Sector(PlotPoint start, const std::string& fields, PlotPoint inner_end) {
    return "PE<=" + Encoded({start.x, start.y}) + ";PM0PDAA100,100," + fields +
           ",3;PE=" + Encoded({inner_end.x, inner_end.y}) + ";AA100,100,-" + fields +
           ",3;PE=" + Encoded({start.x, start.y}) + ";PM2FPEP";
  }
};

TEST_F(WideArcTest, FullRingWithOneElementIsTwo360DegreeArcs) {
  // Centre (100,100), radius 20, width 4.
  const std::string ring = Sector({121, 99}, "360.0", {117, 99});
  EXPECT_EQ(Body(OfiBuilder().WideArc(1, {1000}, 0, 4, 100, 120, 100, 80, 100, 120)), ring);
  EXPECT_EQ(Body(OfiBuilder().WideArc(1, {0, 0}, 0, 4, 100, 120, 100, 80, 100, 120)), ring);
  // The high byte of the command word plays no part.
  OfiBuilder high;
  high.Draw(0x0B45, {1, 1}).Count(1000).Count(0).Words({4, 100, 120, 100, 80, 100, 120});
  EXPECT_EQ(Body(high), ring);
}

TEST_F(WideArcTest, StartStraightBelowTheCentreIsThreeQuarters) {
  EXPECT_EQ(Body(OfiBuilder().WideArc(0, {1000}, 0, 4, 80, 100, 120, 100, 80, 100)),
            Sector({99, 77}, "360.0", {99, 81}));
}

TEST_F(WideArcTest, PatternWalksCounterClockwiseByAngle) {
  // Quarter dashes: on, off, on, and the last off runs past the end.
  std::string body =
      Body(OfiBuilder().WideArc(0, {1570796, 1570797}, 0, 4, 100, 120, 100, 80, 100, 120));
  EXPECT_EQ(body,
            Sector({121, 99}, "89.99998", {99, 117}) + Sector({77, 99}, "89.99998", {99, 81}));
}

TEST_F(WideArcTest, ClockwiseArcIsOneSectorOrNothing) {
  // From (2000,3000) through (1000,2000) to (2000,1000): half a turn clockwise.
  auto arc = [](int start) {
    return OfiBuilder().WideArc(start, {1000000, 1000000}, 0, 4, 2000, 3000, 1000, 2000, 2000,
                                1000);
  };
  std::string on = Body(arc(0));
  EXPECT_EQ(Count(on, ";PM2FPEP"), 1u);
  EXPECT_NE(on.find(",-180.0,3;"), std::string::npos);
  EXPECT_EQ(Body(arc(1)), "");
}

TEST_F(WideTest, ArcThroughPointsOnOneLineDrawsNothing) {
  OfiBuilder b;
  b.WideArc(0, {1000}, 0, 4, 100, 100, 200, 200, 300, 300);
  ThenArea(b);
  EXPECT_EQ(Body(b), kArea);
}

}  // namespace
}  // namespace tovrin::test
