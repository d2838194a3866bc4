#include "preview/hpgl_parser.h"

#include <gtest/gtest.h>

#include <cmath>

#include "glf_text.h"

namespace tovrin::preview {
namespace {

using namespace test;

std::vector<Point> PointsOf(const PlotPicture& p, const Item& item) {
  return {p.points.begin() + item.first, p.points.begin() + item.first + item.count};
}

void ExpectPoint(const Point& p, double x, double y, double tolerance = 0.01) {
  EXPECT_NEAR(p.x, x, tolerance);
  EXPECT_NEAR(p.y, y, tolerance);
}

TEST(HpglParser, PolylineEncodedMovesUpAbsoluteThenDownRelative) {
  const PlotPicture p = ParseGlf(A4Sheet() + "PE<=" + Encoded({2000, 1000}) + Encoded({4000, 0}) +
                                 Encoded({0, -17}) + ";" + kTrailer);
  ASSERT_EQ(p.items.size(), 1u);
  const auto pts = PointsOf(p, p.items[0]);
  ASSERT_EQ(pts.size(), 3u);
  ExpectPoint(pts[0], 2000, 1000);
  ExpectPoint(pts[1], 6000, 1000);
  ExpectPoint(pts[2], 6000, 983);
}

TEST(HpglParser, PolylineEncodedSevenBitAndFractionBits) {
  // ">" 2 fraction bits (value 4 folded), "7" switches to base 32:
  // 10 -> n 20 -> final byte 95 + 20; 12 -> n 24 -> 95 + 24.
  std::string glf = A4Sheet() + "PE>" + Encoded({2}) + "7<=" + std::string(1, char(95 + 20)) +
                    std::string(1, char(95 + 24)) + ";";
  glf += "PE7" + std::string(1, char(95 + 8)) + std::string(1, char(95 + 0)) + ";";
  const PlotPicture p = ParseGlf(glf);
  ASSERT_EQ(p.items.size(), 1u);
  const auto pts = PointsOf(p, p.items[0]);
  ExpectPoint(pts[0], 2.5, 3);  // 10 and 12 with two fraction bits
  ExpectPoint(pts[1], 6.5, 3);  // 4 relative, pen down; a new PE has no fraction bits
}

TEST(HpglParser, ArcAndCircleAsTheTranslationWritesThem) {
  // Arc from (30000, 20000) about (20000, 20000) through +180 degrees.
  const PlotPicture p =
      ParseGlf(A4Sheet() + "PE<=" + Encoded({30000, 20000}) + ";PDAA20000,20000,180.0" +
               "PE<=" + Encoded({5000, 5000}) + ";CI1000" + kTrailer);
  ASSERT_EQ(p.items.size(), 2u);
  const auto arc = PointsOf(p, p.items[0]);
  ExpectPoint(arc.front(), 30000, 20000);
  ExpectPoint(arc.back(), 10000, 20000, 0.1);
  for (const Point& q : arc) EXPECT_NEAR(std::hypot(q.x - 20000, q.y - 20000), 10000, 3);
  EXPECT_GT(arc[arc.size() / 2].y, 29990);  // counter-clockwise: through the top
  const auto circle = PointsOf(p, p.items[1]);
  ExpectPoint(circle.front(), circle.back().x, circle.back().y);
  for (const Point& q : circle) EXPECT_NEAR(std::hypot(q.x - 5000, q.y - 5000), 1000, 3);
}

TEST(HpglParser, PolygonWithTwoLoopsIsFilledThenEdged) {
  const std::string glf = A4Sheet() + "PE<=" + Encoded({0, 0}) + ";PM0" +
                          "PE=" + Encoded({1000, 0}) + ";" + "PE=" + Encoded({1000, 1000}) +
                          ";PE=" + Encoded({0, 0}) + ";" + "PM1PE<=" + Encoded({2000, 2000}) +
                          ";PE=" + Encoded({3000, 2000}) + ";PE=" + Encoded({3000, 3000}) +
                          ";PM2FPEP" + kTrailer;
  const PlotPicture p = ParseGlf(glf);
  ASSERT_GE(p.items.size(), 3u);
  const Item& fill = p.items[0];
  EXPECT_EQ(fill.kind, Item::Kind::Polygon);
  EXPECT_TRUE(fill.even_odd);
  ASSERT_EQ(fill.count, 2u);
  EXPECT_EQ(p.loops[fill.first].count, 4u);
  const Loop& second = p.loops[fill.first + 1];
  ASSERT_EQ(second.count, 3u);
  ExpectPoint(p.points[second.first], 2000, 2000);
  // Edges: one closed run per loop.
  EXPECT_EQ(p.items[1].kind, Item::Kind::Polyline);
  EXPECT_EQ(p.items.back().kind, Item::Kind::Polyline);
}

TEST(HpglParser, RingSectorOfAWideArc) {
  // Outer arc out, line in, inner arc back, closing line: one filled loop.
  const std::string glf = A4Sheet() + "PE<=" + Encoded({1100, 0}) +
                          ";PM0PDAA0,0,90.0,3;PE=" + Encoded({0, 900}) +
                          ";AA0,0,-90.0,3;PE=" + Encoded({1100, 0}) + ";PM2FPEP" + kTrailer;
  const PlotPicture p = ParseGlf(glf);
  ASSERT_FALSE(p.items.empty());
  const Item& fill = p.items[0];
  ASSERT_EQ(fill.kind, Item::Kind::Polygon);
  ASSERT_EQ(fill.count, 1u);
  const Loop& loop = p.loops[fill.first];
  bool outer = false, inner = false;
  for (uint32_t i = 0; i < loop.count; ++i) {
    const double r = std::hypot(p.points[loop.first + i].x, p.points[loop.first + i].y);
    outer |= std::abs(r - 1100) < 2 && p.points[loop.first + i].x > 100;
    inner |= std::abs(r - 900) < 2 && p.points[loop.first + i].x > 100;
  }
  EXPECT_TRUE(outer && inner);
}

TEST(HpglParser, LineTypesAndPatternLength) {
  // Diagonal of 8400 x 11880 is 14549.4 plotter units.
  const std::string glf = A4Sheet() + "SP3LT2,1.6;" + MoveTo(0, 0) + "PE" + Encoded({100, 0}) +
                          ";" + "LT;PE" + Encoded({100, 0}) + ";" + "LT4;PE" + Encoded({100, 0}) +
                          ";" + "LT2,0.0;PE" + Encoded({100, 0}) + ";";
  const PlotPicture p = ParseGlf(glf);
  ASSERT_EQ(p.items.size(), 3u);
  const Style& dashed = p.styles[p.items[0].style];
  EXPECT_EQ(dashed.line_type, 2);
  EXPECT_NEAR(dashed.pattern_length, 0.016 * std::hypot(8400, 11880), 0.01);
  EXPECT_EQ(p.styles[p.items[1].style].line_type, 0);
  // LT4 without a length keeps the last one; a zero length is refused, so
  // the last move continues the LT4 run.
  EXPECT_EQ(p.styles[p.items[2].style].line_type, 4);
  EXPECT_NEAR(p.styles[p.items[2].style].pattern_length, dashed.pattern_length, 0.01);
  EXPECT_EQ(p.items[2].count, 3u);
}

TEST(HpglParser, PenColoursWidthsAndPenZero) {
  const std::string glf = A4Sheet() + "SP2PC2,255,0,0PW0.7,2" + MoveTo(0, 0) + "PE" +
                          Encoded({10, 0}) + ";" + "PC" + "PE" + Encoded({10, 0}) + ";" + "SP0PE" +
                          Encoded({10, 0}) + ";";
  const PlotPicture p = ParseGlf(glf);
  ASSERT_EQ(p.items.size(), 2u);  // nothing with pen 0
  EXPECT_EQ(p.styles[p.items[0].style].rgb, 0xFF0000u);
  EXPECT_DOUBLE_EQ(p.styles[p.items[0].style].width_mm, 0.7);
  EXPECT_EQ(p.styles[p.items[1].style].rgb, 0x000000u);
}

TEST(HpglParser, LabelsOfBothKindsAndTheirTerminators) {
  const std::string glf = A4Sheet() + "DI0.0,1.0;SL0.268;SSSI0.5,0.7LM0SD1,4,6,2;" +
                          MoveTo(1000, 2000) + "LBA" + kEtx + "SD1,43,6,2;" + MoveTo(1000, 2600) +
                          "LB\x31" + kEtx + "SADV0SI0.6,0.8LM1" + MoveTo(1000, 3200) +
                          "LB\x34\x41" + kNulEtx + ";" + MoveTo(1000, 3800) + "LB-9" + kNulEtx +
                          ";" + MoveTo(1000, 4400) + "LB\x93\x35" + kNulEtx + "PUSP0";
  const PlotPicture p = ParseGlf(glf);
  ASSERT_EQ(p.labels.size(), 5u);
  EXPECT_EQ(p.labels[0].text, "A");
  EXPECT_EQ(p.labels[0].face, Label::Face::Fixed);
  EXPECT_EQ(p.labels[1].text, "ｱ");
  EXPECT_EQ(p.labels[1].face, Label::Face::HalfKana);
  EXPECT_EQ(p.labels[2].text, "漢");
  EXPECT_EQ(p.labels[2].face, Label::Face::Kanji);
  EXPECT_EQ(p.labels[3].text, "Ⅴ");   // NEC row 13
  EXPECT_EQ(p.labels[4].text, "〓");  // no such JIS row
  const Label& a = p.labels[0];
  ExpectPoint(a.origin, 1000, 2000);
  EXPECT_DOUBLE_EQ(a.width, 200);   // 0.5 cm
  EXPECT_DOUBLE_EQ(a.height, 280);  // 0.7 cm
  EXPECT_NEAR(a.direction, M_PI / 2, 1e-9);
  EXPECT_DOUBLE_EQ(a.slant, 0.268);
  EXPECT_DOUBLE_EQ(p.labels[2].width, 240);
}

TEST(HpglParser, SheetRotationCopiesAndPages) {
  const std::string glf = kPreamble + "PS60000,23360RO90IP0,0,23760,33640SC0,23760,0,33640,0SP1" +
                          MoveTo(0, 0) + "PE" + Encoded({10, 10}) + ";PUSP0PGRP2;" + "SP1PE" +
                          Encoded({10, 10}) + ";\033E";
  const PlotPicture p = ParseGlf(glf);
  EXPECT_EQ(p.rotation, 90);
  EXPECT_EQ(p.copies, 3);
  ASSERT_TRUE(p.paper.valid);
  EXPECT_DOUBLE_EQ(p.paper.x1, 23760);
  EXPECT_DOUBLE_EQ(p.paper.y1, 33640);
  ASSERT_TRUE(p.media.valid);
  EXPECT_DOUBLE_EQ(p.media.x1, 60000);
  EXPECT_EQ(p.items.size(), 1u);
  EXPECT_EQ(p.extra_pages, 1);
}

TEST(HpglParser, ScalingMapsUserUnitsOntoP1P2) {
  const PlotPicture p =
      ParseGlf(kPreamble + "IP1000,1000,3000,5000SC0,100,0,100SP1PA10,10PD50,50PU" + kTrailer);
  ASSERT_EQ(p.items.size(), 1u);
  const auto pts = PointsOf(p, p.items[0]);
  ExpectPoint(pts[0], 1200, 1400);
  ExpectPoint(pts[1], 2000, 3000);
}

TEST(HpglParser, BadInputIsSkippedNotObeyed) {
  // Unknown instruction, a malformed number ending PD, stray bytes, and a
  // PE number cut off by ";".
  const std::string glf = kPreamble + "SP1ZZ12,\"x;y\";PA0,0PD100,#200,300;\x7f\x01PU0,0PD10,0;PE" +
                          std::string(1, char(70)) + ";PD20,0;";
  const PlotPicture p = ParseGlf(glf);
  EXPECT_EQ(p.unknown_instructions, 1u);
  ASSERT_EQ(p.items.size(), 1u);
  const auto pts = PointsOf(p, p.items[0]);
  ASSERT_EQ(pts.size(), 3u);
  ExpectPoint(pts[1], 10, 0);
  ExpectPoint(pts[2], 20, 0);
}

TEST(HpglParser, DrawingBudgetIsEnforced) {
  std::string glf = A4Sheet();
  for (int i = 0; i < 200; ++i) glf += MoveTo(i * 10, 0) + "CI5000";
  ParseLimits limits;
  limits.max_points = 1000;
  const PlotPicture p = ParseGlf(glf, limits);
  EXPECT_TRUE(p.truncated);
  EXPECT_LE(p.points.size(), 1000u);
}

}  // namespace
}  // namespace tovrin::preview
