#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

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

  void WriteUtf8File(const std::string& text) const { dir.WriteFile("Tovrin.sys", *ToCp932(text)); }
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
  EXPECT_EQ(lines[2],
            "*  ＺＥＬＫ－ＨＰＧＬ２出図（Tovrin.EXE)プログラム"
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

// A big file of code page 932 lines reads the same each time, and the
// reading ends at a megabyte: a value past it is not taken.
TEST_F(SettingsStoreTest, LongCodePageFileReadsTheSameTwiceUpToAMegabyte) {
  std::string text;
  while (text.size() < 600 * 1024) text += "＊ 図面の設定　ｺﾒﾝﾄ行です  ﾌﾟﾛｯﾀ\r\n";
  text += "Plot=A1ﾌﾟﾛｯﾀｶｯﾄ紙  * 用紙\r\nMojiE=全角  *\r\n";
  const std::string head = *ToCp932(text);
  std::string bytes = head;
  while (bytes.size() < (1 << 20) + 4096) bytes += head.substr(0, 64 * 1024);
  bytes += "\r\nLineL=7  *\r\n";
  dir.WriteFile("Tovrin.sys", bytes);
  for (int read = 0; read < 2; ++read) {
    PlotSettings s = Load();
    EXPECT_EQ(s.Plot, "A1ﾌﾟﾛｯﾀｶｯﾄ紙");
    EXPECT_EQ(s.MojiE, "全角");
    EXPECT_EQ(s.LineL, "3");  // past the first megabyte
  }
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

// What a reading said, joined for searching.
std::string Joined(const SettingsFileRead& read) {
  std::string all;
  for (const std::string& w : read.warnings) all += w + "\n";
  return all;
}

TEST_F(SettingsStoreTest, Utf8FileIsReadAsUtf8WithAWarning) {
  dir.WriteFile(
      "Tovrin.sys",
      "OfiFEnd=保存  * 終了ﾌｧｲﾙの処理\r\nOfiOut=ﾌｧｲﾙ  *\nMojiK=半角  *\nHprn=製図室  *\n");
  PlotSettings s = PlotSettings::Defaults("/start");
  s.OfiFEnd = "消去";
  SettingsFileRead read = ReadSettingsFile(Path(), s);
  EXPECT_TRUE(read.read_as_utf8);
  EXPECT_TRUE(read.Complete());
  EXPECT_EQ(s.OfiFEnd, "保存");
  EXPECT_EQ(s.OfiOut, "ﾌｧｲﾙ");
  EXPECT_EQ(s.MojiK, "半角");
  EXPECT_EQ(s.Hprn, "製図室");
  ASSERT_EQ(read.warnings.size(), 1u) << Joined(read);
  EXPECT_NE(read.warnings[0].find("UTF-8"), std::string::npos);

  // The file as the program writes it stays code page 932, without warnings.
  Save(s);
  PlotSettings again = PlotSettings::Defaults("/start");
  read = ReadSettingsFile(Path(), again);
  EXPECT_FALSE(read.read_as_utf8);
  EXPECT_TRUE(read.warnings.empty()) << Joined(read);
  EXPECT_EQ(again.Hprn, "製図室");
}

TEST_F(SettingsStoreTest, ValuesOutsideTheirListsAreNamedAndKeepNeverBecomesDelete) {
  WriteUtf8File(
      "OfiFEnd=keep  *\r\n"
      "OfiA4V=45  *\r\n"
      "OfiOut=プロッタ  *\r\n"
      "OfiFMen= 自動  *\r\n");
  PlotSettings s = PlotSettings::Defaults("/start");
  SettingsFileRead read = ReadSettingsFile(Path(), s);
  EXPECT_EQ(s.OfiFEnd, "保存");
  EXPECT_EQ(s.OfiA4V, "45");  // shown as it stands; its label click makes it "0"
  EXPECT_EQ(s.OfiOut, "ﾌﾟﾛｯﾀ");
  EXPECT_EQ(s.OfiFMen, "自動");
  ASSERT_EQ(read.warnings.size(), 2u) << Joined(read);
  EXPECT_NE(read.warnings[0].find("1行目: OfiFEnd の値 \"keep\" は 保存, 消去"), std::string::npos)
      << read.warnings[0];
  EXPECT_NE(read.warnings[1].find("2行目: OfiA4V の値 \"45\""), std::string::npos);
  EXPECT_TRUE(read.Complete());
}

TEST_F(SettingsStoreTest, TheLineThatStopsTheReadingIsNamed) {
  WriteUtf8File("OfiA4V=90  *\r\nLineL=7\r\nOfiA3=180  *\r\n");
  PlotSettings s = PlotSettings::Defaults("/start");
  SettingsFileRead read = ReadSettingsFile(Path(), s);
  EXPECT_TRUE(read.stopped_early);
  EXPECT_FALSE(read.Complete());
  ASSERT_EQ(read.warnings.size(), 1u);
  EXPECT_NE(read.warnings[0].find("2行目"), std::string::npos) << read.warnings[0];
  EXPECT_NE(read.warnings[0].find("\"LineL=7\""), std::string::npos) << read.warnings[0];

  // A file full of bad values gives a bounded number of warnings, and the
  // line that stops the reading is still named.
  std::string many;
  for (int i = 0; i < 5000; ++i) many += "OfiA4V=45  *\r\n";
  WriteUtf8File(many + "LineL=7\r\n");
  read = ReadSettingsFile(Path(), s);
  EXPECT_LE(read.warnings.size(), 22u);
  EXPECT_NE(read.warnings.back().find("5001行目"), std::string::npos) << read.warnings.back();

  // A huge line is quoted only in part.
  WriteUtf8File("OfiFile=" + std::string(5000, 'x') + "\r\n");
  read = ReadSettingsFile(Path(), s);
  ASSERT_EQ(read.warnings.size(), 1u);
  EXPECT_LT(read.warnings[0].size(), 400u);
}

TEST_F(SettingsStoreTest, OnlyARegularFileIsRead) {
  ASSERT_EQ(::mkfifo(Path().c_str(), 0600), 0);
  PlotSettings s = PlotSettings::Defaults("/start");
  SettingsFileRead read = ReadSettingsFile(Path(), s);  // would block if it were opened for reading
  EXPECT_EQ(read.status, SettingsFileRead::Status::Unreadable);
  EXPECT_EQ(read.warnings.size(), 1u);
  std::filesystem::remove(Path());
  std::filesystem::create_directory(Path());
  EXPECT_EQ(ReadSettingsFile(Path(), s).status, SettingsFileRead::Status::Unreadable);
  std::filesystem::remove(Path());
  EXPECT_EQ(ReadSettingsFile(Path(), s).status, SettingsFileRead::Status::Missing);
  EXPECT_TRUE(ReadSettingsFile(Path(), s).warnings.empty());
}

TEST_F(SettingsStoreTest, BackupKeepsTheOldBytesBeforeTheSave) {
  dir.WriteFile("Tovrin.sys", "Plot=A1ﾌﾟﾛｯﾀｶｯﾄ紙\r\nmore the user wrote\r\n");
  const std::string old = dir.ReadFile("Tovrin.sys");
  std::string error;
  ASSERT_TRUE(SaveSettingsFile(Path(), PlotSettings::Defaults("/s"), error, {.keep_backup = true}))
      << error;
  EXPECT_EQ(dir.ReadFile("Tovrin.sys.bak"), old);
  EXPECT_EQ(Lines().size(), 60u);
  // A second backup replaces the first.
  const std::string saved = dir.ReadFile("Tovrin.sys");
  ASSERT_TRUE(SaveSettingsFile(Path(), PlotSettings::Defaults("/t"), error, {.keep_backup = true}));
  EXPECT_EQ(dir.ReadFile("Tovrin.sys.bak"), saved);
  // Without a request, or without an old file, no backup.
  std::filesystem::remove(dir / "Tovrin.sys.bak");
  Save(PlotSettings::Defaults("/u"));
  EXPECT_FALSE(dir.Exists("Tovrin.sys.bak"));
  std::filesystem::remove(Path());
  ASSERT_TRUE(SaveSettingsFile(Path(), PlotSettings::Defaults("/v"), error, {.keep_backup = true}));
  EXPECT_FALSE(dir.Exists("Tovrin.sys.bak"));
}

TEST_F(SettingsStoreTest, ASymlinkIsWrittenThrough) {
  TempFolder elsewhere;
  elsewhere.WriteFile("shared.sys", "old");
  ASSERT_EQ(::symlink((elsewhere / "shared.sys").c_str(), Path().c_str()), 0);
  Save(PlotSettings::Defaults("/linked"));
  EXPECT_TRUE(std::filesystem::is_symlink(Path()));
  EXPECT_EQ(Load().OfiFile, "/linked");
  EXPECT_EQ(elsewhere.ReadFile("shared.sys"), dir.ReadFile("Tovrin.sys"));

  // A relative link through a second link, and a backup of the target's bytes.
  std::filesystem::remove(Path());
  ASSERT_EQ(::symlink("hop.sys", Path().c_str()), 0);
  ASSERT_EQ(::symlink((elsewhere / "shared.sys").c_str(), (dir / "hop.sys").c_str()), 0);
  const std::string before = elsewhere.ReadFile("shared.sys");
  std::string error;
  ASSERT_TRUE(
      SaveSettingsFile(Path(), PlotSettings::Defaults("/hop"), error, {.keep_backup = true}))
      << error;
  EXPECT_EQ(dir.ReadFile("Tovrin.sys.bak"), before);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "hop.sys"));
  EXPECT_EQ(Load().OfiFile, "/hop");

  // A dangling link gets its target created.
  std::filesystem::remove(elsewhere / "shared.sys");
  Save(PlotSettings::Defaults("/new"));
  EXPECT_TRUE(elsewhere.Exists("shared.sys"));

  // A loop is an error, not a hang.
  std::filesystem::remove(dir / "hop.sys");
  ASSERT_EQ(::symlink("Tovrin.sys", (dir / "hop.sys").c_str()), 0);
  EXPECT_FALSE(SaveSettingsFile(Path(), PlotSettings::Defaults("/x"), error));
  EXPECT_NE(error.find("link"), std::string::npos) << error;
}

}  // namespace
}  // namespace tovrin
