#include <gtest/gtest.h>

#include "settings/plot_settings.h"
#include "settings/values.h"

namespace tovrin {
namespace {

TEST(LeadingNumber, ReadsTheLeadingNumberOnly) {
  EXPECT_EQ(LeadingNumber("5"), 5);
  EXPECT_EQ(LeadingNumber("  \t-0.14"), -0.14);
  EXPECT_EQ(LeadingNumber("+.5mm"), 0.5);
  EXPECT_EQ(LeadingNumber("1E-05"), 1e-05);
  EXPECT_EQ(LeadingNumber("2e3x"), 2000);
  EXPECT_EQ(LeadingNumber("2e"), 2);
  EXPECT_EQ(LeadingNumber("7."), 7);
  EXPECT_EQ(LeadingNumber("1 2"), 1);
  EXPECT_EQ(LeadingNumber("0x10"), 0);
  EXPECT_EQ(LeadingNumber("A3"), 0);
  EXPECT_EQ(LeadingNumber(""), 0);
  EXPECT_EQ(LeadingNumber("-"), 0);
  EXPECT_EQ(LeadingNumber("."), 0);
  EXPECT_FALSE(StartsWithNumber("abc"));
  EXPECT_TRUE(StartsWithNumber(" 12abc"));
}

TEST(GeneralNumber, ShortestText) {
  EXPECT_EQ(GeneralNumber(5.0f), "5");
  EXPECT_EQ(GeneralNumber(-0.14f), "-0.14");
  EXPECT_EQ(GeneralNumber(0.5f), "0.5");
  EXPECT_EQ(GeneralNumber(0.17f), "0.17");
  EXPECT_EQ(GeneralNumber(0.0f), "0");
  EXPECT_EQ(GeneralNumber(1e-05f), "1E-05");
  EXPECT_EQ(GeneralNumber(0.0001f), "0.0001");
  EXPECT_EQ(GeneralNumber(12345678.0f), "1.234568E+07");
  EXPECT_EQ(GeneralNumber(1234567.0f), "1234567");
  EXPECT_EQ(GeneralNumber(65280.0), "65280");
  EXPECT_EQ(GeneralNumber(16776960.0), "16776960");
  EXPECT_EQ(GeneralNumber(0.1 + 0.2), "0.3");
  EXPECT_EQ(GeneralNumber(-150.0), "-150");
}

TEST(RoundToInt16, TiesToEvenAndRange) {
  EXPECT_EQ(RoundToInt16(2.5), 2);
  EXPECT_EQ(RoundToInt16(3.5), 4);
  EXPECT_EQ(RoundToInt16(-1.5), -2);
  EXPECT_EQ(RoundToInt16(32767.4), 32767);
  EXPECT_FALSE(RoundToInt16(32767.5));
  EXPECT_FALSE(RoundToInt16(-32769));
}

TEST(PlotSettings, DefaultsAndTable) {
  PlotSettings s = PlotSettings::Defaults("/start");
  EXPECT_EQ(s.OfiFile, "/start");
  ASSERT_EQ(SettingTable().size(), 55u);
  EXPECT_STREQ(SettingTable().front().key, "OfiFile");
  EXPECT_STREQ(SettingTable().back().key, "PrnLeft");
  EXPECT_EQ(SettingText(s, *FindSetting("MojiY")), "-0.14");
  EXPECT_EQ(SettingText(s, *FindSetting("MojiW")), "0");
  EXPECT_EQ(SettingText(s, *FindSetting("OfiMajY")), "17");
  EXPECT_EQ(SettingText(s, *FindSetting("OfiC8")), "19199");
  EXPECT_EQ(SettingText(s, *FindSetting("Plot")), "A0ﾌﾟﾛｯﾀﾛｰﾙ紙");
  EXPECT_EQ(FindSetting("ofifile"), nullptr);
}

TEST(PlotSettings, ApplyTextByKind) {
  PlotSettings s;
  EXPECT_TRUE(ApplySettingText(s, *FindSetting("OfiA4V"), "45"));
  EXPECT_EQ(s.OfiA4V, "45");
  EXPECT_TRUE(ApplySettingText(s, *FindSetting("MojiY"), " -.2xyz"));
  EXPECT_EQ(s.MojiY, -0.2f);
  EXPECT_TRUE(ApplySettingText(s, *FindSetting("OfiTop"), "1250.5"));
  EXPECT_EQ(s.OfiTop, 1250);
  EXPECT_FALSE(ApplySettingText(s, *FindSetting("OfiTop"), "40000"));
  EXPECT_EQ(s.OfiTop, 1250);
  EXPECT_TRUE(ApplySettingText(s, *FindSetting("OfiMajX"), "abc"));
  EXPECT_EQ(s.OfiMajX, 0.0f);
}

}  // namespace
}  // namespace tovrin
