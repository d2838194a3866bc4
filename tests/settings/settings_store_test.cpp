#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <vector>

#include "platform/cp932.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using test::TempFolder;

class SettingsStoreTest : public ::testing::Test {
 protected:
  std::string Path() const { return dir / "Tovrin.sys"; }

  // The file's lines in UTF-8; every line must end with CR LF.
  std::vector<std::string> Lines() const {
    std::string bytes = dir.ReadFile("Tovrin.sys");
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
      size_t end = bytes.find("\r\n", start);
      EXPECT_NE(end, std::string::npos) << "unterminated last line";
      if (end == std::string::npos) break;
      lines.push_back(FromCp932(bytes.substr(start, end - start)));
      start = end + 2;
    }
    return lines;
  }
  std::string LineOf(const std::string& key) const {
    for (const std::string& line : Lines())
      if (line.rfind(key + "=", 0) == 0) return line;
    return "<missing " + key + ">";
  }

  void WriteUtf8File(const std::string& text) const {
    dir.WriteFile("Tovrin.sys", *ToCp932(text));
  }
  PlotSettings Load() const {
    PlotSettings s = PlotSettings::Defaults("/start");
    EXPECT_TRUE(LoadSettingsFile(Path(), s));
    return s;
  }
  void Save(const PlotSettings& s) const {
    std::string error;
    ASSERT_TRUE(SaveSettingsFile(Path(), s, error)) << error;
  }

  TempFolder dir;
};

TEST_F(SettingsStoreTest, DefaultsAreWrittenInTheFixedLayout) {
  Save(PlotSettings::Defaults("/home/cad/ofi"));
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 60u);
  EXPECT_EQ(lines[0], std::string(77, '*'));
  EXPECT_EQ(lines[1], "*" + std::string(75, ' ') + "*");
  EXPECT_EQ(lines[2], "*  ＺＥＬＫ－ＨＰＧＬ２出図（Tovrin.EXE)プログラム"
                      "                          *");
  EXPECT_EQ(ToCp932(lines[2])->size(), 77u);
  EXPECT_EQ(lines[3], lines[1]);
  EXPECT_EQ(lines[4], lines[0]);
  EXPECT_EQ(lines[5], "OfiFile=/home/cad/ofi        * ＯＦＩ ファイルの場所");
  EXPECT_EQ(lines[6], "OfiMajX=5" + std::string(17, ' ') + "* プロッター左右マージン");
  EXPECT_EQ(lines[8], "OfiA4V=0" + std::string(18, ' ') + "* Ａ４ 縦の回転量");
  EXPECT_EQ(lines[15], "Plot=A0ﾌﾟﾛｯﾀﾛｰﾙ紙" + std::string(10, ' ') + "* プロッターサイズ");
  EXPECT_EQ(lines[26], "LineZ=2" + std::string(19, ' ') + "*全角文字の太さ");
  EXPECT_EQ(lines[36], "MojiY=-.14" + std::string(16, ' ') + "* 漢字Ｙ座標変更倍率");
  EXPECT_EQ(lines[48], "OfiCA=16711680" + std::string(12, ' ') + "* パレットＮｏ10の色");
  EXPECT_EQ(lines[53], "Hprn=" + std::string(19, ' ') + "* 出力先プリンタ名");
  EXPECT_EQ(lines[59], "PrnLeft=1150" + std::string(14, ' ') + "* 画面4の左右位置");
  // Most comments start in byte column 27.
  std::string a4v = *ToCp932(lines[8]);
  EXPECT_EQ(a4v.find('*'), 26u);
}

TEST_F(SettingsStoreTest, EverySettingRoundTrips) {
  PlotSettings s = PlotSettings::Defaults("/data/図面 OFI");
  s.OfiMajX = 0.17f;
  s.OfiMajY = -0.2f;
  s.OfiA4V = "45";
  s.Plot = "A1ﾌﾟﾛｯﾀﾛｰﾙ紙";
  s.OfiB2 = "縦";
  s.LineE = "-3";
  s.OfiS = "A3";
  s.MojiK = "半角";
  s.MojiW = 1e-05f;
  s.MojiH = 12345678.0f;
  s.MojiX = -1.5f;
  s.OfiMh = 20.25;
  s.OfiC1 = 0;
  s.OfiC8 = 19199;
  s.OfiCB = 16777215;
  s.OfiFEnd = "消去";
  s.OfiOut = "ﾌｧｲﾙ";
  s.Hprn = "HP_DesignJet_T1700_Plot";  // longer than its padding
  s.OfiTop = -32768;
  s.OfiLeft = 32767;
  s.PrnTop = -150;
  Save(s);
  EXPECT_EQ(LineOf("OfiMajX"), "OfiMajX=.17" + std::string(15, ' ') + "* プロッター左右マージン");
  EXPECT_EQ(LineOf("OfiMajY"), "OfiMajY=-.2" + std::string(15, ' ') + "* プロッター上下マージン");
  EXPECT_EQ(LineOf("MojiW").substr(0, 11), "MojiW=1E-05");
  EXPECT_EQ(LineOf("Hprn"), "Hprn=HP_DesignJet_T1700_Plot  * 出力先プリンタ名");

  PlotSettings back = Load();
  for (const SettingInfo& info : SettingTable())
    EXPECT_EQ(SettingText(back, info), SettingText(s, info)) << info.key;
}

TEST_F(SettingsStoreTest, EmptyPrinterReadsBackEmpty) {
  PlotSettings s = PlotSettings::Defaults("/start");
  s.Hprn = "";
  Save(s);
  PlotSettings back = PlotSettings::Defaults("/start");
  back.Hprn = "leftover";
  ASSERT_TRUE(LoadSettingsFile(Path(), back));
  EXPECT_EQ(back.Hprn, "");
  EXPECT_FLOAT_EQ(back.MojiY, -0.14f);
}

TEST_F(SettingsStoreTest, HandWrittenFileInAnyOrderWithForeignLines) {
  WriteUtf8File(
      "\r\n"
      "Hprn=Plotter-Plot  * a printer whose name holds a key\r\n"
      "; OfiA4V=270  not at the line start, ignored\r\n"
      "Unknown=1  * no such key\r\n"
      "   LineL=5  * leading blanks are fine\r\n"
      "OfiTop=-120.5  *\n"  // LF alone, half to even
      "OfiC3=255.7  *\r\n"
      "LineL=6  * a later line wins\r\n");
  PlotSettings s = Load();
  EXPECT_EQ(s.Hprn, "Plotter-Plot");
  EXPECT_EQ(s.Plot, "A0ﾌﾟﾛｯﾀﾛｰﾙ紙");
  EXPECT_EQ(s.OfiA4V, "0");
  EXPECT_EQ(s.LineL, "6");
  EXPECT_EQ(s.OfiTop, -120);
  EXPECT_DOUBLE_EQ(s.OfiC3, 255.7);
  EXPECT_EQ(s.OfiFile, "/start");
  EXPECT_EQ(s.LineM, "2");

  // The next save writes all 55 settings.
  Save(s);
  EXPECT_EQ(Lines().size(), 60u);
  EXPECT_EQ(LineOf("OfiC3"), "OfiC3=255.7" + std::string(15, ' ') + "* パレットＮｏ3の色");
}

TEST_F(SettingsStoreTest, BadLineStopsReadingAndKeepsEarlierValues) {
  WriteUtf8File(
      "OfiA4V=90  *\r\n"
      "LineL=7\r\n"  // no double blank after the value
      "OfiA3=180  *\r\n");
  PlotSettings s = Load();
  EXPECT_EQ(s.OfiA4V, "90");
  EXPECT_EQ(s.LineL, "3");
  EXPECT_EQ(s.OfiA3, "0");

  WriteUtf8File("MojiW=.5  *\r\nOfiLeft=40000  *\r\nMojiH=.5  *\r\n");
  s = Load();
  EXPECT_FLOAT_EQ(s.MojiW, 0.5f);
  EXPECT_EQ(s.OfiLeft, 1150);
  EXPECT_FLOAT_EQ(s.MojiH, 0.0f);
}

TEST_F(SettingsStoreTest, MissingFileLeavesTheDefaults) {
  PlotSettings s = PlotSettings::Defaults("/start");
  EXPECT_FALSE(LoadSettingsFile(Path(), s));
  EXPECT_EQ(SettingText(s, *FindSetting("OfiFile")), "/start");
}

TEST_F(SettingsStoreTest, FailedWriteLeavesTheOldFileAndSaysWhy) {
  dir.WriteFile("Tovrin.sys", "old");
  PlotSettings s = PlotSettings::Defaults("/start");
  std::string error;

  s.MojiX = std::numeric_limits<float>::infinity();
  EXPECT_FALSE(SaveSettingsFile(Path(), s, error));
  EXPECT_NE(error.find("MojiX"), std::string::npos) << error;

  s.MojiX = 0;
  s.Hprn = "plot\nOfiA4V=90";
  EXPECT_FALSE(SaveSettingsFile(Path(), s, error));
  EXPECT_NE(error.find("Hprn"), std::string::npos) << error;

  s.Hprn = "Plotter 😀";  // no code page 932 form
  EXPECT_FALSE(SaveSettingsFile(Path(), s, error));
  EXPECT_EQ(dir.ReadFile("Tovrin.sys"), "old");

  // The target cannot be replaced: the reason comes from the system.
  std::filesystem::create_directory(dir / "Taken.sys");
  dir.WriteFile("Taken.sys/inside", "x");
  s.Hprn = "";
  EXPECT_FALSE(SaveSettingsFile(dir / "Taken.sys", s, error));
  EXPECT_NE(error.find("Taken.sys: "), std::string::npos) << error;
  EXPECT_FALSE(SaveSettingsFile(dir / "missing/Tovrin.sys", s, error));
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;

  // No temporary file is left behind.
  size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 2u);
}

}  // namespace
}  // namespace tovrin
