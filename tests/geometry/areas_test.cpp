#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "geometry/encode_points.h"
#include "ofi_builder.h"
#include "translate.h"

namespace tovrin::test {
namespace {

constexpr int kLine = OfiBuilder::kAreaLine;
constexpr int kArc = OfiBuilder::kAreaArc;
constexpr int kLoop = OfiBuilder::kAreaLoop;

std::string At(int64_t x, int64_t y) { return Enc({x, y}); }

// One plotter unit per OFI unit; plotter x comes from the second word.
struct AreaTest : ::testing::Test {
  JobContext job{MakeSnapshot(PlotSettings::Defaults("/tmp"))};
  AreaTest() { job.sheet.DrawingScale = 25; }
  std::string Body(OfiBuilder b) { return Translate(job, b.End()).Body(); }
};

TEST_F(AreaTest, TriangleOfStraightPieces) {
  // A (100,100), B (100,200), C (200,100); the kind word has no effect.
  std::string body =
      Body(OfiBuilder().Area(100, 100, {kLine, 100, 200, kLine, 200, 100, kLine, 100, 100}, 7));
  EXPECT_EQ(body,
            "PE<=G\xC2G\xC2;PM0"
            "PE=O\xC5G\xC2;PE=G\xC2O\xC5;PE=G\xC2G\xC2;"
            "PM2FPEP");
}

// Half a turn from (2000,3000) through (3000,2000) to (2000,1000).
const std::string kHalfTurn = ";PDAA2000,2000,180.0";

TEST_F(AreaTest, ArcFirstThenStraightBack) {
  std::string body =
      Body(OfiBuilder().Area(2000, 3000, {kArc, 3000, 2000, 2000, 1000, kLine, 2000, 3000}));
  EXPECT_EQ(body,
            "PE<=" + At(3000, 2000) + ";PM0" + kHalfTurn + "PE=" + At(3000, 2000) + ";PM2FPEP");
}

TEST_F(AreaTest, ArcAfterStraightFollowsTwoSemicolons) {
  std::string body =
      Body(OfiBuilder().Area(2000, 1000, {kLine, 2000, 3000, kArc, 3000, 2000, 2000, 1000}));
  EXPECT_EQ(body,
            "PE<=" + At(1000, 2000) + ";PM0PE=" + At(3000, 2000) + ";" + kHalfTurn + "PM2FPEP");
}

TEST_F(AreaTest, CentreOnTheOriginLeavesItsFieldEmpty) {
  job.sheet.OriginY = 2000;
  std::string body = Body(OfiBuilder().Area(2000, 3000, {kArc, 3000, 2000, 2000, 1000}));
  EXPECT_EQ(body, "PE<=" + At(1000, 2000) + ";PM0;PDAA,2000,180.0PM2FPEP");
}

TEST_F(AreaTest, SecondLoopStartsWithoutOpeningThePolygonAgain) {
  std::string body = Body(OfiBuilder().Area(
      100, 100,
      {kLine, 100, 200, kLine, 100, 100, kLoop, 150, 150, kLine, 150, 160, kLine, 150, 150}));
  EXPECT_EQ(body, "PE<=" + At(100, 100) + ";PM0PE=" + At(200, 100) + ";PE=" + At(100, 100) +
                      ";PM1PE<=" + At(150, 150) + ";PE=" + At(160, 150) + ";PE=" + At(150, 150) +
                      ";PM2FPEP");
  // A loop as the very first element opens nothing before it.
  body = Body(OfiBuilder().Area(100, 100, {kLoop, 150, 150, kLine, 150, 160}));
  EXPECT_EQ(body, "PM1PE<=" + At(150, 150) + ";PE=" + At(160, 150) + ";PM2FPEP");
}

TEST_F(AreaTest, FullCircleIsItsOwnLoopAroundItsCentre) {
  // From (100,100) through (100,300) back: centre (100,200), radius 100.
  std::string body = Body(OfiBuilder().Area(100, 100, {kArc, 100, 300, 100, 100}));
  EXPECT_EQ(body, "PE<=" + At(100, 100) + ";PM0PM1PE<=" + At(200, 100) + ";CI100PM2FPEP");
  body = Body(OfiBuilder().Area(100, 100, {kLine, 100, 200, kArc, 100, 300, 100, 200}));
  EXPECT_EQ(body, "PE<=" + At(100, 100) + ";PM0PE=" + At(200, 100) + ";PM1PE<=" + At(250, 100) +
                      ";CI50PM2FPEP");
}

TEST_F(AreaTest, ArcThroughCollinearPointsIsAStraightPiece) {
  std::string body = Body(OfiBuilder().Area(100, 100, {kArc, 200, 200, 300, 300}));
  EXPECT_EQ(body, "PE<=" + At(100, 100) + ";PM0PE=" + At(300, 300) + ";PM2FPEP");
}

TEST_F(AreaTest, ElementRunningPastTheCountIsReadWhole) {
  // N covers only the code word; the element's end point follows it.
  OfiBuilder b;
  b.Word(OfiBuilder::kEscDollar).Word(0xFF50).Count(4).Words({0, 100, 100, kLine, 100, 200});
  b.Area(0, 0, {kLine, 0, 5});
  EXPECT_EQ(Body(b), "PE<=" + At(100, 100) + ";PM0PE=" + At(200, 100) + ";PM2FPEP" +
                         "PE<=" + At(0, 0) + ";PM0PE=" + At(5, 0) + ";PM2FPEP");
  // Without those words the record is incomplete and writes nothing.
  OfiBuilder cut;
  cut.Word(OfiBuilder::kEscDollar).Word(0xFF50).Count(4).Words({0, 100, 100, kLine, 100});
  Translated t = Translate(job, cut);
  EXPECT_EQ(t.Body(), "");
  EXPECT_EQ(t.result.end, DrawingEnd::Incomplete);
  // A count far beyond the file ends at the first missing code word.
  OfiBuilder huge;
  huge.Word(OfiBuilder::kEscDollar)
      .Word(0xFF50)
      .Count(0xFFFFFFFF)
      .Words({0, 100, 100, kLine, 100, 200});
  EXPECT_EQ(Translate(job, huge).Body(), "");
}

TEST_F(AreaTest, NoPenOrModeChange) {
  OfiBuilder b;
  b.LineClass(18).PatternBlock(true).PatternBlock(false);
  b.Area(100, 100, {kLine, 100, 200});
  std::string body = Body(b);
  std::string area = "PE<=" + At(100, 100) + ";PM0PE=" + At(200, 100) + ";PM2FPEP";
  ASSERT_GE(body.size(), area.size());
  EXPECT_EQ(body.substr(body.size() - area.size()), area);
  EXPECT_EQ(body.find("SP", body.size() - area.size()), std::string::npos);
}

}  // namespace
}  // namespace tovrin::test
