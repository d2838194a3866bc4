#include <gtest/gtest.h>

#include <cmath>

#include "ofi/drawing_texts.h"
#include "ofi_builder.h"
#include "translate.h"

namespace tovrin {
namespace {

using test::OfiBuilder;
using test::Translate;

const std::string kFonts = "SD1,11,6,2SSAD1,1643,6,2,7,50SP2";

PlotSettings Settings(const std::string& plot = "A0ﾌﾟﾛｯﾀﾛｰﾙ紙") {
  PlotSettings s = PlotSettings::Defaults("/tmp");
  s.Plot = plot;
  return s;
}

std::string SheetBody(const PlotSettings& s, int scale, int ex, int ey, int cx, int cy) {
  return Translate(s, OfiBuilder().Scale(scale).SheetRecord(ex, ey, cx, cy).End()).Body();
}

TEST(SheetSetup, A4LandscapeInRatioMode) {
  JobContext job(MakeSnapshot(Settings()));
  auto t = Translate(
      job, OfiBuilder().Scale(10).DashUnit(10).SheetRecord(29700, 21000, 29700, 21000).End());
  EXPECT_EQ(t.Body(), "RO90IP0,0,8400,11880SC0,8400,0,11880,0" + kFonts);
  EXPECT_EQ(job.sheet.SheetWidth, 297);
  EXPECT_EQ(job.sheet.OriginX, 0);  // roll paper: lower-left corner at the origin
  EXPECT_EQ(job.sheet.OriginY, 0);
  EXPECT_DOUBLE_EQ(job.sheet.PatternLength,
                   (10 * 18.6 / std::sqrt(297.0 * 297 + 210 * 210)) * 100 / 1000);
}

TEST(SheetSetup, LimitsAreInclusive) {
  EXPECT_EQ(SheetBody(Settings(), 10, 29700, 21000, 29700, 21000).substr(0, 20),
            "RO90IP0,0,8400,11880");
  // 297.01 x 210 fails A4 landscape and portrait, then fits A3 ("0").
  EXPECT_EQ(SheetBody(Settings(), 10, 29701, 21000, 29701, 21000),
            "RO0IP0,0,11880,16800SC0,11880,0,16800,0" + kFonts);
}

TEST(SheetSetup, A1RollNeedsAPlotSize) {
  EXPECT_EQ(SheetBody(Settings("A1ﾌﾟﾛｯﾀﾛｰﾙ紙"), 20, 50000, 25000, 50000, 25000),
            "PS60000,23360RO0IP0,0,23760,33640SC0,23760,0,33640,0" + kFonts);
  // The A0 plotter takes the same drawing as A0 without a plot size.
  EXPECT_EQ(SheetBody(Settings(), 20, 50000, 25000, 50000, 25000).substr(0, 20),
            "RO90IP0,0,33640,4756");
  // Too wide even for A0 but not too high: the A0 plot size.
  EXPECT_EQ(SheetBody(Settings(), 20, 65000, 25000, 65000, 25000).substr(0, 15), "PS60000,33200RO");
}

TEST(SheetSetup, A1CutRestartsAtA1Paper) {
  JobContext job(MakeSnapshot(Settings("A1ﾌﾟﾛｯﾀｶｯﾄ紙")));
  auto t = Translate(job, OfiBuilder().Scale(20).SheetRecord(50000, 35000, 50000, 35000).End());
  // Fitted to 840 x 594 less the margins of seven tries: 762 mm wide, then
  // a "横" cut sheet turns "0" into "90".
  EXPECT_EQ(t.Body(), "RO90IP0,0,23760,33640SC0,23760,0,33640,0" + kFonts);
  EXPECT_NEAR(job.sheet.DrawingScale, 15.24, 1e-9);
  EXPECT_NEAR(job.sheet.OriginX, 50000 - 25000 - 1000 * (420.5 - 5) / 15.24, 1e-6);
  EXPECT_NEAR(job.sheet.OriginY, 35000 - 17500 - 1000 * (297 - 17) / 15.24, 1e-6);
}

TEST(SheetSetup, CutSheetQuarterTurnUsesTheMarginsOfTheSetRotation) {
  PlotSettings s = Settings("A1ﾌﾟﾛｯﾀｶｯﾄ紙");
  s.OfiA3 = "270";
  JobContext job(MakeSnapshot(s));
  auto t = Translate(job, OfiBuilder().Scale(10).SheetRecord(40000, 28000, 40000, 28000).End());
  EXPECT_EQ(t.Body(), "RO0IP0,0,11880,16800SC0,11880,0,16800,0" + kFonts);
  EXPECT_DOUBLE_EQ(job.sheet.OriginX, 20000 - 1000 * (210 - 17.0) / 10);
  EXPECT_DOUBLE_EQ(job.sheet.OriginY, 14000 - 1000 * (148.5 - 5.0) / 10);
  s.OfiB3 = "縦";
  EXPECT_EQ(Translate(s, OfiBuilder().Scale(10).SheetRecord(40000, 28000, 40000, 28000).End())
                .Body()
                .substr(0, 5),
            "RO270");
}

TEST(SheetSetup, TargetPaperSettingTextsGoIntoTheSetup) {
  PlotSettings s = Settings();
  s.OfiS = "A4";
  s.OfiA4H = "９０";  // written as code page 932 bytes
  s.LineK = "3";
  s.LineZ = "-1";
  // A 1000 x 500 drawing fitted to A4 with the margins: 280 wide.
  JobContext job(MakeSnapshot(s));
  auto t = Translate(job, OfiBuilder().Scale(20).SheetRecord(50000, 25000, 50000, 25000).End());
  EXPECT_EQ(
      t.Body(),
      "RO\x82\x58\x82\x4fIP0,0,8400,11880SC0,8400,0,11880,0SD1,11,6,3SSAD1,1643,6,-1,7,50SP2");
  EXPECT_NEAR(job.sheet.DrawingWidth, 280, 1e-9);
}

TEST(SheetSetup, LaterRecordsShiftTheOrigin) {
  JobContext job(MakeSnapshot(Settings()));
  auto t = Translate(job, OfiBuilder()
                              .Scale(10)
                              .SheetRecord(29700, 21000, 29700, 21000)
                              .SheetRecord(100, 100, 29800, 20950)
                              .SheetRecord(100, 100, 29900, 20900)
                              .End());
  EXPECT_EQ(t.Body(), "RO90IP0,0,8400,11880SC0,8400,0,11880,0" + kFonts);
  EXPECT_EQ(job.sheet.OriginX, 300);  // +100, then +200 against the first corner
  EXPECT_EQ(job.sheet.OriginY, -150);
  // The next drawing sets up again.
  EXPECT_EQ(Translate(job, OfiBuilder().SheetRecord(29700, 21000, 29700, 21000).End())
                .Body()
                .substr(0, 4),
            "RO90");
}

TEST(SheetSetup, UnusableRecordsRejectTheDrawingAndWriteNothing) {
  struct Case {
    PlotSettings settings;
    OfiBuilder ofi;
    const char* reason;
  };
  PlotSettings negative = Settings();
  negative.OfiMajY = -1;
  PlotSettings zero_ratio = Settings();
  zero_ratio.OfiS = "";
  PlotSettings huge_margin = Settings();
  huge_margin.OfiS = "A4";
  huge_margin.OfiMajX = 300;
  Case cases[] = {
      {Settings(), OfiBuilder().Scale(0).SheetRecord(100, 100, 100, 100), texts::kBadScale},
      {Settings(), OfiBuilder().Scale(-5).SheetRecord(100, 100, 100, 100), texts::kBadScale},
      {zero_ratio, OfiBuilder().Scale(10).SheetRecord(100, 100, 100, 100), texts::kBadScale},
      {Settings(), OfiBuilder().Scale(10).SheetRecord(0, 100, 100, 100), texts::kEmptySheet},
      {negative, OfiBuilder().Scale(10).SheetRecord(100, 100, 100, 100), texts::kNegativeMargin},
      {huge_margin, OfiBuilder().Scale(10).SheetRecord(100, 100, 100, 100), texts::kFitFailed},
      // Slightly taller than wide, too large for A1: too wide for A2 portrait
      // and too high for A1 however often it is fitted.
      {Settings("A1ﾌﾟﾛｯﾀｶｯﾄ紙"), OfiBuilder().Scale(20).SheetRecord(40000, 48000, 40000, 48000),
       texts::kNoPaperFits},
  };
  for (Case& c : cases) {
    JobContext job(MakeSnapshot(c.settings));
    const SheetContext before = job.sheet;
    auto t = Translate(job, c.ofi.Line(1, 1, 2, 2).End());
    EXPECT_EQ(t.result.end, DrawingEnd::Rejected) << c.reason;
    EXPECT_EQ(t.result.reason, c.reason);
    EXPECT_EQ(t.Body(), "") << c.reason;  // not even the line after it
    EXPECT_EQ(job.sheet.OriginX, before.OriginX);
    EXPECT_EQ(job.sheet.SheetWidth, before.SheetWidth);
  }
}

}  // namespace
}  // namespace tovrin
