#include <set>

#include "text/code_tables.h"
#include "text_fixture.h"

namespace tovrin::test {
namespace {

const std::string kSize = "SSSI0.5,1.0LM0";      // W 200, Ht 400 at scale 25
const std::string kKanji = "SADV0SI0.5,1.0LM1";  // kanji factors 1
const std::string kEtx = "\x03";
const std::string kEnd2 = B({0x00, 0x03});

// Size only (pitch 0: every character at the start, no ES), then `text`.
OfiBuilder Bytes(std::string_view text) {
  OfiBuilder b;
  b.Size(200, 400, 0).ByteText(10, 20, text);
  return b;
}
OfiBuilder Jis(std::initializer_list<OfiBuilder::RowCell> chars) {
  OfiBuilder b;
  b.Size(200, 400, 0).JisText(10, 20, chars);
  return b;
}

TEST_F(TextTest, FirstLetterDefinesTheAlphanumericFont) {
  EXPECT_EQ(Body(Bytes("A")), kSize + "SD1,4,6,-3;" + Pe(20, 10) + "LBA" + kEtx);
}

TEST_F(TextTest, SymbolNeedsNoDefinitionAtFirst) {
  EXPECT_EQ(Body(Bytes("[")), kSize + Pe(20, 10) + "LB[" + kEtx);
}

TEST_F(TextTest, SameSizeAndFamilyWritesNoFontInstructionAgain) {
  // Class switches between letters and symbols still redefine the font.
  EXPECT_EQ(Body(Bytes("AB[")), kSize + "SD1,4,6,-3;" + Pe(20, 10) + "LBA" + kEtx + Pe(20, 10) +
                                    "LBB" + kEtx + "SD1,11,6,2;" + Pe(20, 10) + "LB[" + kEtx);
}

TEST_F(TextTest, NewWidthBetweenRecordsWritesANewSize) {
  OfiBuilder b = Bytes("[");
  b.Size(100, 400, 0).ByteText(10, 20, "[");
  EXPECT_EQ(Body(b),
            kSize + Pe(20, 10) + "LB[" + kEtx + "SSSI0.25,1.0LM0" + Pe(20, 10) + "LB[" + kEtx);
}

TEST_F(TextTest, MixedRecordSwitchesFamilyAtEveryChange) {
  // A, 図, B: the single-byte size comes back after the kanji, but the class
  // is still the alphanumeric one.
  EXPECT_EQ(Body(Jis({{0, 'A'}, OfiBuilder::Jis(0x3F5E), {0, 'B'}})),
            kSize + "SD1,4,6,-3;" + Pe(20, 10) + "LBA" + kEtx + kKanji + Pe(20, 10) + "LB?^" +
                kEnd2 + kSize + Pe(20, 10) + "LBB" + kEtx);
}

TEST_F(TextTest, HalfWidthKatakanaUsesTheKanaFont) {
  EXPECT_EQ(Body(Bytes("\xB1")), kSize + "SD1,43,6,1;" + Pe(20, 10) + "LB\x31" + kEtx);
}

TEST_F(TextTest, FullWidthKatakanaMovesBeforeTheFont) {
  settings.MojiK = "全角";
  EXPECT_EQ(Body(Bytes("\xB1")), Pe(20, 10) + kKanji + "LB%\x22" + kEnd2);
}

TEST_F(TextTest, WideFromSingleLabels) {
  // 0x81 (diameter) and 0x02 always go wide; "A" too with MojiE 全角.
  settings.MojiE = "全角";
  EXPECT_EQ(Body(Bytes("\x81"
                       "A\x02")),
            Pe(20, 10) + kKanji + "LB&U" + kEnd2 + ";" + Pe(20, 10) + "LB#A" + kEnd2 + ";" +
                Pe(20, 10) + kEnd2 + ";");
}

TEST_F(TextTest, FullWidthLetterRowEitherWay) {
  EXPECT_EQ(Body(Jis({{3, 33}})), kSize + "SD1,4,6,-3;" + Pe(20, 10) + "LBA" + kEtx);
  settings.MojiE = "全角";
  EXPECT_EQ(Body(Jis({{3, 33}})), kKanji + Pe(20, 10) + "LB#A" + kEnd2);
}

TEST_F(TextTest, VoicedKatakanaHasNoHalfWidthForm) {
  // ガ: the JIS path puts the font before the move.
  EXPECT_EQ(Body(Jis({{5, 12}})), kKanji + Pe(20, 10) + "LB%," + kEnd2);
  // カ has one.
  EXPECT_EQ(Body(Jis({{5, 11}})), kSize + "SD1,43,6,1;" + Pe(20, 10) + "LB\x36" + kEtx);
}

TEST_F(TextTest, RowOneSymbolsAndPunctuation) {
  // ， becomes "," (a letter-class code); 「 the kana bracket; ・ stays
  // full-width.
  EXPECT_EQ(Body(Jis({{1, 4}, {1, 54}, {1, 6}})), kSize + "SD1,4,6,-3;" + Pe(20, 10) + "LB," +
                                                      kEtx + "SD1,43,6,1;" + Pe(20, 10) + "LB\x22" +
                                                      kEtx + kKanji + Pe(20, 10) + "LB!&" + kEnd2);
}

TEST_F(TextTest, SymbolRowSpecialForms) {
  // Cell 15 is the Roman numeral V; cell 21 is an ordinary cell of row 115.
  EXPECT_EQ(Body(Jis({{115, 15}, {115, 21}, {115, 25}})),
            kKanji + Pe(20, 10) + "LB-\x39" + kEnd2 + ";" + Pe(20, 10) + "LB\x93\x35" + kEnd2 +
                Pe(20, 10) + "LB-j" + kEnd2 + ";");
}

TEST_F(TextTest, HighRowAndCellBytesWrap) {
  EXPECT_EQ(Body(Jis({{230, 250}})), kKanji + Pe(20, 10) + "LB" + B({0x06, 0x1A}) + kEnd2);
}

TEST_F(TextTest, RowZeroKatakanaWithAnOddSettingFollowsTheLetterRule) {
  settings.MojiK = "その他";
  // Byte record: anything but 全角 is half-width katakana.
  EXPECT_EQ(Body(Bytes("\xB1")), kSize + "SD1,43,6,1;" + Pe(20, 10) + "LB\x31" + kEtx);
  // JIS row 0: the code takes the single-byte path as a symbol.
  EXPECT_EQ(Body(Jis({{0, 0xB1}})), kSize + Pe(20, 10) + "LB\xB1" + kEtx);
}

TEST_F(TextTest, KanjiPositionCorrectionAndFactors) {
  settings.MojiX = 0.5f;
  settings.MojiY = 0.25f;
  settings.MojiW = 0.5f;
  OfiBuilder b;
  b.Direction(0).Size(100, 100, 0).JisText(100, 100, {OfiBuilder::Jis(0x3F5E)});
  // Along +X: half a width along the text, a quarter height across it
  // (cos D is a hair above 0, so Y floors one below).
  EXPECT_EQ(Body(b), "DI0.0,1.0;SADV0SI0.375,0.25LM1" + Pe(74, 150) + "LB?^" + kEnd2);
}

TEST(CodeTables, KatakanaTablesInvertTheWideKanaTable) {
  ASSERT_EQ(KanaToWideEntries().size(), 63u);
  ASSERT_EQ(Row5KanaEntries().size(), 55u);
  ASSERT_EQ(Row1KanaEntries().size(), 7u);
  ASSERT_EQ(Row1SymbolEntries().size(), 31u);
  std::set<int> row5, row1;
  for (const CodeEntry& e : KanaToWideEntries()) {
    ASSERT_EQ(WideCodeOfKana(static_cast<uint8_t>(e.key)), e.value);
    int row = (e.value >> 8) - 0x20, cell = (e.value & 0xFF) - 0x20;
    ASSERT_TRUE(row == 1 || row == 5) << std::hex << e.key;
    (row == 5 ? row5 : row1).insert(cell);
    uint8_t back = row == 5 ? KanaOfRow5(cell) : KanaOfRow1(cell);
    // The middle dot alone is kept full-width.
    EXPECT_EQ(back, row == 1 && cell == 6 ? 0 : e.key) << "cell " << cell;
  }
  // Every table entry is reached from the kana side: nothing extra.
  EXPECT_EQ(row5.size(), Row5KanaEntries().size());
  EXPECT_EQ(row1.size(), Row1KanaEntries().size() + 1);
}

TEST(CodeTables, SingleByteTableCoversWhatIsListed) {
  EXPECT_EQ(WideCodeOfSingle('0'), 0x2330);
  EXPECT_EQ(WideCodeOfSingle('z'), 0x237A);
  EXPECT_EQ(WideCodeOfSingle(0x81), 0x2655);
  EXPECT_EQ(WideCodeOfSingle(0xFD), 0x2123);
  for (int c : {0x00, 0x02, 0x1C, 0x82, 0xE0, 0xFE, 0xFF}) EXPECT_EQ(WideCodeOfSingle(c), 0) << c;
  // Every listed code is unique and every code is a 7-bit JIS code.
  std::set<int> keys;
  for (const CodeEntry& e : SingleToWideEntries()) {
    EXPECT_TRUE(keys.insert(e.key).second) << e.key;
    EXPECT_GE(e.value >> 8, 0x21);
    EXPECT_LE(e.value & 0xFF, 0x7E);
  }
  EXPECT_EQ(keys.size(), 84u);
}

}  // namespace
}  // namespace tovrin::test
