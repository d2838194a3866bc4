#include "drawing_fixture.h"

namespace tovrin {
namespace {

using test::DrawingTest;
using test::Enc;
using test::OfiBuilder;

TEST_F(DrawingTest, ArcExample) {
  EXPECT_EQ(Body(OfiBuilder().Arc(2000, 3000, 3000, 2000, 2000, 1000)),
            "PE<=_h\xCD?p\xC8;PDAA20000,20000,180.0");
  // Clockwise quarter: P2 on the short way round the other side.
  EXPECT_EQ(Body(OfiBuilder().Arc(2000, 3000, 1400, 2800, 1000, 2000)),
            "PE<=_h\xCD?p\xC8;PDAA20000,20000,-90.0");
}

TEST_F(DrawingTest, CentreRoundingToZeroIsAnEmptyField) {
  job.sheet.OriginY = 2000;
  EXPECT_EQ(Body(OfiBuilder().Arc(2000, 3000, 3000, 2000, 2000, 1000)),
            "PE<=" + Enc({10000, 20000}) + ";PDAA,20000,180.0");
}

TEST_F(DrawingTest, Circles) {
  // All three points equal: radius 0, no digits and no terminator.
  EXPECT_EQ(Body(OfiBuilder().Arc(100, 200, 100, 200, 100, 200)), "PE<=_\xFDO\xDE;CI");
  // P1 = P3: centre half way to P2.
  EXPECT_EQ(Body(OfiBuilder().Arc(100, 200, 300, 200, 100, 200).Line(100, 200, 100, 600)),
            "PE<=" + Enc({2000, 2000}) + ";CI1000PE<=_\xFDO\xDE?|\xC0\xBF;");
  EXPECT_EQ(Body(OfiBuilder().Arc(100, 200, 101, 201, 100, 200)),
            "PE<=" + Enc({2005, 1005}) + ";CI7");  // r 0.7071 OFI units, 7.07 plotter units
}

TEST_F(DrawingTest, ArcsRestoreThePatternAndCollinearPointsDrawNothing) {
  OfiBuilder b;
  b.LineClass(0x10).Line(100, 200, 100, 300).TextBlock(true).TextBlock(false);
  b.Arc(100, 100, 200, 200, 400, 400);
  EXPECT_EQ(Body(b), "SP2LT2,1.6;LT2,4.58199;PE<=" + Enc({2000, 1000, 1000, 0}) + ";SP4LT;SP2LT2;");
  // Straight along one axis: nudged into a huge circle, still drawn.
  std::string body = Body(OfiBuilder().Arc(100, 100, 100, 200, 100, 300));
  EXPECT_EQ(body.substr(0, 4), "PE<=");
  EXPECT_NE(body.find(";PDAA"), std::string::npos);
}

}  // namespace
}  // namespace tovrin
