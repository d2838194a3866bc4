#include <cmath>
#include <vector>

#include "drawing_fixture.h"
#include "ofi/drawing_texts.h"

namespace tovrin {
namespace {

using test::DrawingTest;
using test::Enc;
using test::OfiBuilder;

// A line along Y from (100, 200) of the given OFI length.
std::string Pe(int length) { return "PE<=" + Enc({2000, 1000, length * 10, 0}) + ";"; }
OfiBuilder& Along(OfiBuilder& b, int length) { return b.Line(100, 200, 100, 200 + length); }

TEST_F(DrawingTest, LineExample) {
  EXPECT_EQ(Body(OfiBuilder().Line(100, 200, 100, 600)), "PE<=_\xFDO\xDE?|\xC0\xBF;");
  // Moves are floored separately: -0.2 plotter units is -1, 0.2 is 0.
  job.sheet.DrawingScale = 1;
  EXPECT_EQ(Body(OfiBuilder().Line(10, 10, 15, 5)), "PE<=" + Enc({0, 0, -1, 0}) + ";");
}

TEST_F(DrawingTest, SolidLinesNeverTouchThePattern) {
  EXPECT_EQ(Body(OfiBuilder().LineClass(0x01).Line(100, 200, 100, 200).Line(100, 200, 100, 5000)),
            "SP3LT;" + Pe(0) + "PE<=" + Enc({2000, 1000, 48000, 0}) + ";");
}

TEST_F(DrawingTest, DashedLineThresholds) {
  OfiBuilder b;
  b.LineClass(0x10);
  Along(b, 150);  // exactly 1.5 dash units: shortened
  Along(b, 151);  // just above: the normal pattern again
  Along(b, 150);  // shortened again, though it equals an earlier one
  Along(b, 151);
  Along(b, 151);  // nothing left pending: no stale pattern here
  EXPECT_EQ(Body(b), "SP2LT2,1.6;LT2,6.87298;" + Pe(150) + "LT2,1.6;" + Pe(151) + "LT2,6.87298;" +
                         Pe(150) + "LT2,1.6;" + Pe(151) + Pe(151));
}

TEST_F(DrawingTest, ZeroLengthDashedLine) {
  EXPECT_EQ(Body(OfiBuilder().LineClass(0x10).Line(100, 200, 100, 200)),
            "SP2LT2,1.6;LT2,0.0;" + Pe(0));
}

TEST_F(DrawingTest, SimilarShortLinesShareOnePattern) {
  OfiBuilder b;
  b.LineClass(0x20);
  Along(b, 500);
  Along(b, 505);   // 5 units x 250 < 2000: kept
  Along(b, 1100);  // <= 11 dash units: shortened
  Along(b, 1101);  // the normal pattern
  EXPECT_EQ(Body(b), "SP2LT5,8.0;LT5,20.21466;" + Pe(500) + Pe(505) + "LT5,44.47225;" + Pe(1100) +
                         "LT5,8.0;" + Pe(1101));
  // Under 3 mm of drawing the shortened pattern is kept whatever the length.
  OfiBuilder c;
  Along(Along(c.LineClass(0x30), 500), 11);
  EXPECT_EQ(Body(c), "SP2LT6,8.0;LT6,20.21466;" + Pe(500) + Pe(11));
}

TEST_F(DrawingTest, NoShortenedPatternBeforeTheFirstSheet) {
  job.sheet.SheetWidth = job.sheet.SheetHeight = 0;
  OfiBuilder b;
  Along(b.LineClass(0x10), 100);
  EXPECT_EQ(Body(b), "SP2LT2,1.6;" + Pe(100));
}

TEST_F(DrawingTest, PolylineOfTwoPointsIsALine) {
  OfiBuilder a, b;
  Along(a.LineClass(0x10), 150);
  b.LineClass(0x10).Polyline({100, 200, 100, 350});
  JobContext other(MakeSnapshot(test::GeometrySettings()));
  SetUpSheet(other);
  EXPECT_EQ(test::Translate(other, a.End()).Body(), Body(b));
}

TEST_F(DrawingTest, PolylineWritesRelativeMoves) {
  EXPECT_EQ(Body(OfiBuilder().Polyline({100, 200, 100, 600, 300, 600})),
            "PE<=_\xFDO\xDE?|\xC0\xBF\xBF_\xFD;");
  // Polylines always take the normal pattern.
  OfiBuilder b;
  Along(b.LineClass(0x10), 150).Polyline({100, 200, 100, 350, 101, 350});
  EXPECT_EQ(Body(b), "SP2LT2,1.6;LT2,6.87298;" + Pe(150) +
                         "LT2,1.6;PE<=" + Enc({2000, 1000, 1500, 0, 0, 10}) + ";");
}

TEST_F(DrawingTest, PolylineRoundingDoesNotAccumulate) {
  job.sheet.DrawingScale = 1;  // 0.4 plotter units per 10 OFI units
  EXPECT_EQ(Body(OfiBuilder().Polyline({0, 0, 0, 10, 0, 20, 0, 30})),
            "PE<=" + Enc({0, 0, 0, 0, 0, 0, 1, 0}) + ";");
}

TEST_F(DrawingTest, PolylineMovesFloorBothWaysAgainstTheRunningPosition) {
  // Moves back and forth at a scale that leaves fractions, exact integers
  // and -0.x moves: each is the floor of the target less the position so far.
  job.sheet.DrawingScale = 7;
  const std::initializer_list<int> list = {5000, 5000, 4993, 5011, 5001, 4989,  5001, 4989, 4000,
                                           6250, 4003, 6248, 4001, 6251, 65535, 0,    0,    65535};
  const int* xy = list.begin();
  std::vector<int64_t> expected;
  double px = xy[1] * 7.0 / 25, py = xy[0] * 7.0 / 25;
  expected.push_back(static_cast<int64_t>(std::floor(xy[1] * 7.0 / 25)));
  expected.push_back(static_cast<int64_t>(std::floor(xy[0] * 7.0 / 25)));
  for (size_t i = 2; i < list.size(); i += 2) {
    const double fx = std::floor(xy[i + 1] * 7.0 / 25 - px);
    const double fy = std::floor(xy[i] * 7.0 / 25 - py);
    expected.push_back(static_cast<int64_t>(fx));
    expected.push_back(static_cast<int64_t>(fy));
    px += fx;
    py += fy;
  }
  std::string want = "PE<=";
  for (int64_t v : expected) want += Enc({v});
  EXPECT_EQ(Body(OfiBuilder().Polyline(list)), want + ";");
}

TEST_F(DrawingTest, ShortAndOddPolylineRecordsKeepTheStreamInStep) {
  // N = 0.
  EXPECT_EQ(Body(OfiBuilder().Polyline({}).Line(100, 200, 100, 600)), "PE<=_\xFDO\xDE?|\xC0\xBF;");
  // N = 2: only the pen steps; the record's words are not read as commands.
  auto t =
      test::Translate(job, OfiBuilder().LineClass(0x01).Polyline({0x211B, 0x0156}).Copies(3).End());
  EXPECT_EQ(t.glf, test::kPreamble + "SP3LT;PUSP0PGRP2;\033E");
  // N = 7: three points, the lone last word skipped.
  OfiBuilder b;
  b.Copies(3).Word(OfiBuilder::kEscDollar).Word(0xFF44).Count(7);
  b.Words({100, 200, 100, 600, 300, 600, 0x211B}).Words({0x0156, 4}).End();
  t = test::Translate(job, b);
  EXPECT_EQ(t.glf, test::kPreamble + "PE<=_\xFDO\xDE?|\xC0\xBF\xBF_\xFD;PUSP0PGRP2;\033E");
}

TEST_F(DrawingTest, CoordinatesBeyond32BitsRejectTheDrawing) {
  job.sheet.DrawingScale = 1e9;
  auto t = test::Translate(job, OfiBuilder().Line(100, 200, 100, 600).End());
  EXPECT_EQ(t.result.end, DrawingEnd::Rejected);
  EXPECT_EQ(t.result.reason, texts::kCoordinateRange);
  EXPECT_EQ(t.glf.find("PE"), std::string::npos);
  t = test::Translate(job, OfiBuilder().Polyline({0, 0, 1000, 1000, 2000, 2000}).End());
  EXPECT_EQ(t.result.end, DrawingEnd::Rejected);
}

}  // namespace
}  // namespace tovrin
