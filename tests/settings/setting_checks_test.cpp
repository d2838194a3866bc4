#include "settings/setting_checks.h"

#include <gtest/gtest.h>

#include "settings/setting_values.h"
#include "settings/values.h"

namespace tovrin {
namespace {

CheckedSetting Check(const char* key, const char* text) {
  return CheckCommandLineValue(*FindSetting(key), text);
}

TEST(SettingChecks, EveryEnumeratedSettingTakesOnlyItsValues) {
  const std::pair<const char*, const char*> valid[] = {
      {"OfiFEnd", "消去"}, {"OfiFMen", "手動"},     {"OfiOut", "ﾌｧｲﾙ"}, {"MojiK", "半角"},
      {"MojiE", "全角"},   {"OfiB4", "縦"},         {"OfiB1", "横"},    {"OfiA4V", "270"},
      {"OfiA0", "90"},     {"Plot", "A1ﾌﾟﾛｯﾀｶｯﾄ紙"}};
  for (const auto& [key, text] : valid) EXPECT_EQ(Check(key, text).value, text) << key;
  for (const char* key :
       {"OfiFEnd", "OfiFMen", "OfiOut", "MojiK", "MojiE", "OfiB2", "OfiA3", "Plot"}) {
    CheckedSetting c = Check(key, "keep");
    EXPECT_FALSE(c.value) << key;
    EXPECT_NE(c.error.find(AllowedList(*FindSetting(key))), std::string::npos) << c.error;
  }
  EXPECT_EQ(Check("OfiFEnd", "keep").error, "OfiFEnd=\"keep\": OfiFEnd takes one of 保存, 消去");
  EXPECT_FALSE(Check("OfiA4V", "45").value);
  EXPECT_FALSE(Check("OfiFEnd", "").value);
  EXPECT_FALSE(Check("OfiFEnd", "保存 消去").value);
}

TEST(SettingChecks, FullWidthKatakanaAndBlanksMeanTheStoredValue) {
  EXPECT_EQ(Check("OfiOut", "プロッタ").value, "ﾌﾟﾛｯﾀ");
  EXPECT_EQ(Check("OfiOut", "ファイル").value, "ﾌｧｲﾙ");
  EXPECT_EQ(Check("OfiOut", "フ\u309Aロッタ").value, "ﾌﾟﾛｯﾀ");  // combining sound mark
  EXPECT_EQ(Check("OfiFEnd", " 　保存\t ").value, "保存");
  EXPECT_EQ(Check("Plot", "Ａ１プロッタロール紙").value, "A1ﾌﾟﾛｯﾀﾛｰﾙ紙");
  EXPECT_EQ(Check("OfiA2H", "１８０").value, "180");
  EXPECT_EQ(NarrowSettingText("ガ ギ"), "ｶﾞ ｷﾞ");  // inner blanks stay
  EXPECT_EQ(NarrowSettingText("漢字"), "漢字");
  EXPECT_EQ(NarrowSettingText("\xff\xfe"), "\xef\xbf\xbd\xef\xbf\xbd");  // not UTF-8: no crash
}

TEST(SettingChecks, NumbersMustBePlainAndInRange) {
  EXPECT_EQ(Check("LineL", "15").value, "15");
  EXPECT_EQ(Check("LineZ", "9999").value, "9999");
  EXPECT_EQ(Check("LineE", "-7").value, "-7");
  EXPECT_EQ(Check("MojiY", "-0.2").value, "-0.2");
  EXPECT_EQ(Check("OfiMajX", "７.５").value, "7.5");
  EXPECT_EQ(Check("OfiC1", "16777215").value, "16777215");
  EXPECT_EQ(Check("OfiTop", "-32768").value, "-32768");
  EXPECT_EQ(Check("OfiS", "75").value, "75");
  EXPECT_EQ(Check("OfiS", "A3").value, "A3");
  for (const auto& [key, text] :
       std::initializer_list<std::pair<const char*, const char*>>{{"LineL", "16"},
                                                                  {"LineL", "1.5"},
                                                                  {"LineL", "x"},
                                                                  {"LineZ", "8"},
                                                                  {"MojiW", "1e400"},
                                                                  {"OfiMajY", "-1"},
                                                                  {"OfiMajX", "5mm"},
                                                                  {"OfiC2", "16777216"},
                                                                  {"OfiLeft", "40000"},
                                                                  {"OfiS", "0"},
                                                                  {"OfiS", "A5"},
                                                                  {"OfiMh", ""}}) {
    CheckedSetting c = Check(key, text);
    EXPECT_FALSE(c.value) << key << "=" << text;
    EXPECT_NE(c.error.find(" takes "), std::string::npos) << c.error;
  }
  EXPECT_EQ(Check("LineL", "99").error, "LineL=\"99\": LineL takes a whole number from 0 to 15");
  // Free texts pass unchanged.
  EXPECT_EQ(Check("Hprn", " My Plotter ").value, " My Plotter ");
  EXPECT_EQ(Check("OfiFile", "/spool").value, "/spool");
}

TEST(SettingChecks, PlainDecimalsAndSeconds) {
  EXPECT_EQ(ParsePlainDecimal("2.5"), 2.5);
  EXPECT_EQ(ParsePlainDecimal(".5"), 0.5);
  EXPECT_EQ(ParsePlainDecimal("5."), 5.0);
  EXPECT_EQ(ParsePlainDecimal("-3", true), -3.0);
  for (const char* bad : {"", ".", "-3", "+3", "1e3", "1e400", " 1", "1 ", "1s", "0x10", "inf",
                          "nan", "1..2", "123456789012345678901234567890123"})
    EXPECT_FALSE(ParsePlainDecimal(bad)) << bad;
  EXPECT_EQ(ParseSeconds("0.5", 0.5, 86400), 0.5);
  EXPECT_EQ(ParseSeconds("86400", 0.5, 86400), 86400.0);
  EXPECT_FALSE(ParseSeconds("0.49", 0.5, 86400));
  EXPECT_FALSE(ParseSeconds("86400.01", 0.5, 86400));
  EXPECT_FALSE(ParseSeconds("99999999999999999999999999999999", 0, 3600));
}

TEST(SettingChecks, ListsNameEveryEnumeratedKey) {
  for (const SettingInfo& info : SettingTable()) {
    auto allowed = setting_values::AllowedValues(info.key);
    if (allowed.empty()) continue;
    // The default of every enumerated setting is one of its values.
    PlotSettings s = PlotSettings::Defaults("/");
    EXPECT_TRUE(AllowedValueFor(info, SettingText(s, info))) << info.key;
  }
  EXPECT_EQ(setting_values::AllowedValues("OfiA1").size(), 4u);
  EXPECT_EQ(setting_values::AllowedValues("Plot").size(), 4u);
  EXPECT_TRUE(setting_values::AllowedValues("Hprn").empty());
}

}  // namespace
}  // namespace tovrin
