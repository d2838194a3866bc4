#include "text_fixture.h"

namespace tovrin::test {
namespace {

TEST_F(TextTest, AnnotationLineSelectsTheAnnotationPenFromStrokes) {
  OfiBuilder b;
  b.AnnotationLine(10, 20, 40, 30).AnnotationLine(5, 5, 5, 5);
  // Second line: already in text mode; a zero-length move is still written.
  EXPECT_EQ(Body(b), "SP4LT;PE<=" + Enc({20, 10, 10, 30}) + ";PE<=" + Enc({5, 5, 0, 0}) + ";");
}

TEST_F(TextTest, AnnotationLineKeepsAPatternPenEqualToIt) {
  settings.LineP = "4";
  OfiBuilder b;
  b.PatternBlock(true).AnnotationLine(10, 20, 40, 30);
  EXPECT_EQ(Body(b), "SP4LT;PE<=" + Enc({20, 10, 10, 30}) + ";");
  settings.LineP = "5";
  EXPECT_EQ(Body(b), "SP5LT;SP4LT;PE<=" + Enc({20, 10, 10, 30}) + ";");
}

TEST_F(TextTest, AnnotationLineFloorsTheScaledDifferenceOnce) {
  JobContext job(MakeSnapshot(settings));
  job.sheet.DrawingScale = 10;  // 0.4 plotter units per OFI unit
  job.sheet.OriginX = 1;
  OfiBuilder b;
  b.AnnotationLine(2, 1, 4, 2).End();
  // Start (0.4, 0.4) floors to (0, 0); the difference (0.4, 0.8) to (0, 0),
  // where flooring both ends would give a run of 1.
  EXPECT_EQ(Translate(job, b).Body(), "SP4LT;PE<=" + Enc({0, 0, 0, 0}) + ";");
  OfiBuilder c;
  c.AnnotationLine(4, 2, 2, 1).End();
  EXPECT_EQ(Translate(job, c).Body(), "SP4LT;PE<=" + Enc({0, 1, -1, -1}) + ";");
}

TEST_F(TextTest, PaletteColours) {
  settings.OfiC3 = 255;                   // pure red
  settings.OfiC4 = -1;                    // two's complement: white
  settings.OfiC5 = 254.5;                 // halves to even: 254
  settings.OfiC6 = 4294967296.0 + 65791;  // beyond 24 bits: only the low bytes count
  OfiBuilder b;
  b.Palette(3).Palette(0).Palette(12).Palette(-1).Palette(4).Palette(5).Palette(6);
  EXPECT_EQ(Body(b), "PC2,255,0,0PCPC2,255,255,255PC2,254,0,0PC2,255,0,1");
}

TEST_F(TextTest, PaletteUsesTheStrokePenEvenInsideATextBlock) {
  OfiBuilder b;
  b.LineClass(1).TextBlock(true).Palette(3);
  EXPECT_EQ(Body(b), "SP3LT;SP4LT;PC3,255,0,0");
}

}  // namespace
}  // namespace tovrin::test
