#include "text/text_commands.h"

#include "text_fixture.h"

namespace tovrin::test {
namespace {

const std::string kSize = "SSSI0.5,1.0LM0";  // W 200, Ht 400 at scale 25
const std::string kEtx = "\x03";

TEST_F(TextTest, OversizedSlantWordsAreSkipped) {
  // 30000 is skipped, 1500 taken: tan 15 degrees.
  OfiBuilder b;
  b.Draw(0x0149, {30000, 1500}).Size(200, 400, 0).ByteText(10, 20, "[");
  EXPECT_EQ(Body(b), "SL0.268;" + kSize + Pe(20, 10) + "LB[" + kEtx);
}

TEST_F(TextTest, SlantRunningOffTheEndEndsTheDrawing) {
  OfiBuilder b;
  b.Draw(0x0149, {-30000, 25001});
  EXPECT_EQ(Translate(settings, b).Body(), "");
}

TEST_F(TextTest, DirectionZeroRunsAlongXAndTextFlushesInOrder) {
  // Size writes ES at once; the record writes DI, ES, SL, then per character
  // the font, the move and the label, advancing one pitch along +X.
  OfiBuilder b;
  b.Slant(0).Direction(0).Size(200, 400, 300).ByteText(10, 20, "AB");
  EXPECT_EQ(Body(b),
            "ES0.0"
            "DI0.0,1.0;ES0.0;SL0.0;" +
                kSize + "SD1,4,6,-3;" + Pe(20, 10) + "LBA" + kEtx + Pe(20, 310) + "LBB" + kEtx);
}

TEST_F(TextTest, RepeatedAttributesAreNotWrittenAgain) {
  OfiBuilder b;
  b.Slant(0).Direction(0).Size(200, 400, 300).ByteText(10, 20, "[");
  b.Slant(0).Direction(0).Size(200, 400, 300).ByteText(10, 20, "[");
  std::string once = "DI0.0,1.0;ES0.0;SL0.0;" + kSize + Pe(20, 10) + "LB[" + kEtx;
  EXPECT_EQ(Body(b), "ES0.0" + once + Pe(20, 10) + "LB[" + kEtx);
}

TEST_F(TextTest, ExtraSpaceFollowsPitchAgainstTheCell) {
  EXPECT_DOUBLE_EQ(ExtraSpace(2, 1.5), -1.0);
  EXPECT_DOUBLE_EQ(ExtraSpace(-2, 3), 0.0);
  EXPECT_DOUBLE_EQ(ExtraSpace(2, 6), 1.0);
  // The same pitch again writes nothing even with another width; a new
  // pitch does.
  OfiBuilder b;
  b.Size(4, 4, 3).Size(8, 4, 3).Size(2, 2, 6);
  EXPECT_EQ(Body(b), "ES-1.0ES1.0");
}

TEST_F(TextTest, ZeroWidthOrPitchSetsTheSizeWithoutExtraSpace) {
  OfiBuilder b;
  b.Size(0, 400, 300).Size(200, 400, 0).Size(200, 400, 0).ByteText(10, 20, "[");
  // Pitch 0 places the character at the start; no ES anywhere.
  EXPECT_EQ(Body(b), kSize + Pe(20, 10) + "LB[" + kEtx);
}

TEST_F(TextTest, LongSizeCombinesWordPairsLowFirst) {
  OfiBuilder b;
  b.Direction(0).SizePitch(200, 400, 70000).ByteText(0, 0, "[[");
  // 70000 = 0x00011170 from two words; E = 70000 / 300 - 1.
  EXPECT_EQ(Body(b), "ES232.33333DI0.0,1.0;ES232.33333;" + kSize + Pe(0, 0) + "LB[" + kEtx +
                         Pe(0, 70000) + "LB[" + kEtx);
}

TEST_F(TextTest, NegativeLongPitchIsTakenPlus4294967294) {
  // -1 gives 4294967293: E = 4294967293 / 300 - 1.
  OfiBuilder b;
  b.SizePitch(200, 400, -1);
  EXPECT_EQ(Body(b), "ES14316556.64333");
}

TEST_F(TextTest, TrailingSpaceInLastWordIsPadding) {
  OfiBuilder b;
  b.Direction(0).Size(200, 400, 300).ByteText(10, 20, "[");
  EXPECT_TRUE(Body(b).ends_with(kSize + Pe(20, 10) + "LB[" + kEtx));
  // A space inside a record takes its place but writes nothing.
  OfiBuilder c;
  c.Size(200, 400, 300).Direction(0).ByteText(10, 20, " [");
  EXPECT_TRUE(Body(c).ends_with(";" + kSize + Pe(20, 310) + "LB[" + kEtx));
}

TEST_F(TextTest, RecordWithoutCharactersOnlyFlushesAndConsumes) {
  OfiBuilder b;
  b.Direction(0).Draw(0x024B, {OfiBuilder::kEscDollar, 0x0143}).Palette(0);
  // The two words are the record's X and Y, not a palette command.
  EXPECT_EQ(Body(b), "DI0.0,1.0;PC");
}

TEST_F(TextTest, TextBeforeAnyDirectionDoesNotAdvance) {
  OfiBuilder b;
  b.Size(200, 400, 300).ByteText(10, 20, "[]");
  EXPECT_EQ(Body(b), "ES0.0ES0.0;" + kSize + Pe(20, 10) + "LB[" + kEtx + Pe(20, 10) + "LB]" + kEtx);
}

TEST_F(TextTest, SizeCarriesToTheNextDrawingButDirectionDoesNot) {
  JobContext job(MakeSnapshot(settings));
  job.sheet.DrawingScale = 25;
  OfiBuilder first;
  first.Direction(0).Size(200, 400, 300).End();
  Translate(job, first);
  OfiBuilder second;
  second.ByteText(10, 20, "[]").End();
  // Last pitch starts at 0 again, but no ES is pending in the new drawing.
  EXPECT_EQ(Translate(job, second).Body(),
            kSize + Pe(20, 10) + "LB[" + kEtx + Pe(20, 10) + "LB]" + kEtx);
}

TEST_F(TextTest, PendingPenIsWrittenBeforeTheTextAttributes) {
  OfiBuilder b;
  b.LineClass(1).Direction(0).ByteText(10, 20, "[");
  EXPECT_EQ(Body(b), "SP3LT;DI0.0,1.0;SSSI0.0,0.0LM0" + Pe(20, 10) + "LB[" + kEtx);
}

}  // namespace
}  // namespace tovrin::test
