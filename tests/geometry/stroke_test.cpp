#include <vector>

#include "drawing_fixture.h"

namespace tovrin {
namespace {

using test::DrawingTest;
using test::Enc;
using test::OfiBuilder;

TEST(EncodePoints, DigitsReachTheFileAsRawBytes) {
  struct Case {
    int64_t value;
    std::string bytes;
  };
  const Case cases[] = {{0, "\xBF"},
                        {-1, "\xC2"},
                        {100, "G\xC2"},
                        {-100, "H\xC2"},
                        {5000, "O[\xC1"},
                        {17, "\xE1"},
                        {2147483647, "}~~~~\xC2"},
                        {-2147483648LL, "@????\xC3"}};
  for (const Case& c : cases) {
    GlfWriter out;
    EncodeValue(out, c.value);
    EXPECT_EQ(out.Bytes(), c.bytes) << c.value;
  }
  GlfWriter out;
  out.Write("PE<=");
  EncodePoints(out, {17, 0, -1, 100});
  EXPECT_EQ(out.Bytes(), "PE<=\xE1\xBF\xC2G\xC2");
}

TEST(EncodePoints, AgreesWithTheTestsOwnEncoderOverThePlotterRange) {
  // Every digit count from one to six, both signs, and the digit boundaries.
  std::vector<int64_t> values;
  for (int64_t edge = 1; edge < (int64_t{1} << 34); edge *= 32) {
    for (int64_t v : {edge - 1, edge, edge + 1}) {
      values.push_back(v);
      values.push_back(-v);
    }
  }
  for (int64_t v = -70000; v <= 70000; v += 997) values.push_back(v);
  for (int64_t v : values) {
    GlfWriter out;
    EncodeValue(out, v);
    ASSERT_EQ(out.Bytes(), test::EncodeOne(v)) << v;
  }
  // Every value whose folded form has up to four digits, and the first five.
  for (int64_t v = -(int64_t{1} << 17) - 2; v <= (int64_t{1} << 17) + 2; ++v) {
    char digits[kMaxEncodedDigits];
    ASSERT_EQ(std::string(digits, EncodeInto(digits, v)), test::EncodeOne(v)) << v;
  }
  GlfWriter out;
  WritePoints(out, "PE<=", {3, -4, 70000, -70000}, ";");
  EXPECT_EQ(out.Bytes(), "PE<=" + Enc({3, -4, 70000, -70000}) + ";");
}

// The first line after a T/1 shows what the T/1 left pending.
const std::string kLine = "PE<=" + std::string("_\xFDO\xDE?|\xC0\xBF");  // (100,200)-(100,600)
OfiBuilder& Line(OfiBuilder& b) { return b.Line(100, 200, 100, 600); }

TEST_F(DrawingTest, LineClassPendingStrings) {
  OfiBuilder b;
  Line(b.LineClass(0x12));
  EXPECT_EQ(Body(b), "SP1LT2,1.6;" + kLine + ";");
  // Long enough for the normal pattern of the wider dashes.
  const std::string long_line = "PE<=" + Enc({2000, 1000, 12000, 0}) + ";";
  EXPECT_EQ(Body(OfiBuilder().LineClass(0x21).Line(100, 200, 100, 1400)),
            "SP3LT5,8.0;" + long_line);
  EXPECT_EQ(Body(OfiBuilder().LineClass(0x31).Line(100, 200, 100, 1400)),
            "SP3LT6,8.0;" + long_line);
  // Codes outside the table change nothing but are remembered.
  EXPECT_EQ(Body(OfiBuilder().LineClass(0x13).Line(100, 200, 100, 1400)), long_line);
}

TEST_F(DrawingTest, OnlyTheLastOfTwoLineClassesIsWritten) {
  OfiBuilder b;
  Line(Line(b.LineClass(0x12).LineClass(0x00)));
  EXPECT_EQ(Body(b), "SP2LT;" + kLine + ";" + kLine + ";");
}

TEST_F(DrawingTest, RepeatedLineClassIsIgnoredAcrossTheJob) {
  OfiBuilder first;
  Line(first.LineClass(0x00));  // code 0 first in a job: ignored
  EXPECT_EQ(Body(first), kLine + ";");
  OfiBuilder second;
  Line(second.LineClass(0x12));
  EXPECT_EQ(Body(second), "SP1LT2,1.6;" + kLine + ";");
  OfiBuilder third;  // next drawing, same code
  Line(third.LineClass(0x12));
  EXPECT_EQ(Body(third), kLine + ";");
}

TEST_F(DrawingTest, PendingEqualToTheLastWrittenIsKept) {
  OfiBuilder b;
  Line(Line(b.LineClass(0x12)).LineClass(0x00).LineClass(0x12));
  EXPECT_EQ(Body(b), "SP1LT2,1.6;" + kLine + ";" + kLine + ";");
}

TEST_F(DrawingTest, TextBlockDrawsWithTheAnnotationPen) {
  OfiBuilder b;
  Line(Line(Line(b.LineClass(0x11)).TextBlock(true)).TextBlock(false));
  EXPECT_EQ(Body(b), "SP3LT2,1.6;" + kLine + ";SP4LT;" + kLine + ";SP3LT2;" + kLine + ";");
}

TEST(StrokeModes, PatternBlockWithTheAnnotationPenStaysInTextMode) {
  PlotSettings s = test::GeometrySettings();
  JobContext job(MakeSnapshot(s));
  auto t = test::Translate(
      job, OfiBuilder().TextBlock(true).PatternBlock(true).PatternBlock(false).End());
  EXPECT_EQ(t.Body(), "SP4LT;");
  s.LineP = "6";
  JobContext other(MakeSnapshot(s));
  t = test::Translate(other, OfiBuilder().TextBlock(true).PatternBlock(true).TextBlock(true).End());
  EXPECT_EQ(t.Body(), "SP4LT;SP6LT;SP4LT;");
  // Unknown block parameters do nothing.
  t = test::Translate(other, OfiBuilder().Draw(0x0153, {0x1234}).Draw(0x0152, {0x5354}).End());
  EXPECT_EQ(t.Body(), "");
}

TEST_F(DrawingTest, BreakLinesAreSolidButRecordTheirType) {
  OfiBuilder b;
  // Short enough for a shortened pattern: a break line writes none.
  b.LineClass(0x40)
      .Line(100, 200, 100, 210)
      .PatternBlock(true)
      .PatternBlock(false)
      .Line(100, 200, 100, 210);
  const std::string short_line = "PE<=" + Enc({2000, 1000, 100, 0}) + ";";
  EXPECT_EQ(Body(b), "SP5LT;" + short_line + "SP4LT;SP5LT4;" + short_line);
}

}  // namespace
}  // namespace tovrin
