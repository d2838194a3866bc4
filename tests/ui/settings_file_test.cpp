// Tovrin.sys as the desktop program meets it: hand-edited, saved by a Linux
// editor, cut short, or a link; and the tovrin program's own command line.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QListWidget>
#include <array>
#include <cstdio>
#include <filesystem>

#include "app/version.h"
#include "ofi_builder.h"
#include "platform/cp932.h"
#include "run_command.h"
#include "window_fixture.h"

namespace tovrin::test {
namespace {

class SettingsFileTest : public WindowTest {
 protected:
  std::vector<std::string> Log() const {
    std::vector<std::string> lines;
    auto* list = window->findChild<QListWidget*>("List2");
    for (int i = 0; i < list->count(); ++i) lines.push_back(list->item(i)->text().toStdString());
    return lines;
  }
  bool LogHas(const std::string& text) const {
    for (const std::string& line : Log())
      if (line.find(text) != std::string::npos) return true;
    return false;
  }
  // A Tovrin.sys that plots from the OFI folder, written as given (no conversion).
  void WriteRaw(const std::string& bytes) { start.WriteFile(kSettingsFileName, bytes); }
  std::string OfiLines() const {
    return "OfiFile=" + ofi.path() + "        *\r\nOfiFMen=自動  *\r\n";
  }
};

TEST_F(SettingsFileTest, Utf8FileKeepsTheDrawingAndIsSavedBackInCodePage932) {
  WriteRaw(OfiLines() + "OfiOut=ﾌｧｲﾙ  * GLFﾌｧｲﾙの出力先\r\nOfiFEnd=保存  * 終了ﾌｧｲﾙの処理\r\n");
  OfiBuilder().End().Save(ofi / "A.OFI");
  Form1& w = Open();
  EXPECT_TRUE(LogHas("UTF-8")) << ::testing::PrintToString(Log());
  EXPECT_EQ(Field("Text12"), "保存");
  Click("Command1");
  EXPECT_TRUE(ofi.Exists("A.OFI"));
  EXPECT_TRUE(ofi.Exists("A.GLF"));

  w.close();
  const std::string saved = start.ReadFile(kSettingsFileName);
  ASSERT_TRUE(FromCp932Exact(saved));
  EXPECT_NE(saved.find(*ToCp932("OfiFEnd=保存")), std::string::npos);
  EXPECT_FALSE(start.Exists("Tovrin.sys.bak"));  // read to its end: nothing lost
}

TEST_F(SettingsFileTest, FullWidthPlotterValueIsPlotted) {
  WriteRaw(*ToCp932(OfiLines() + "OfiOut=プロッタ  *\r\nHprn=Plotter2  *\r\n"));
  OfiBuilder().End().Save(ofi / "A.OFI");
  Open();
  EXPECT_EQ(Field("Text13"), "ﾌﾟﾛｯﾀ");
  Click("Command1");
  ASSERT_EQ(spooler.documents.size(), 1u) << ::testing::PrintToString(Log());
  EXPECT_EQ(spooler.documents[0].printer, "Plotter2");
  EXPECT_FALSE(ofi.Exists("A.GLF"));
}

TEST_F(SettingsFileTest, MistypedFinishedFilesValueKeepsTheDrawing) {
  WriteRaw(*ToCp932(OfiLines() + "OfiOut=ﾌｧｲﾙ  *\r\nOfiFEnd=delete  *\r\n"));
  OfiBuilder().End().Save(ofi / "A.OFI");
  Open();
  EXPECT_TRUE(LogHas("OfiFEnd の値 \"delete\"")) << ::testing::PrintToString(Log());
  EXPECT_EQ(Field("Text12"), "保存");
  Click("Command1");
  EXPECT_TRUE(ofi.Exists("A.OFI"));
}

TEST_F(SettingsFileTest, ABadFirstLineIsNamedAndTheOldFileIsKeptAsBackup) {
  const std::string old = *ToCp932("OfiFile=/spool\r\nPlot=A1ﾌﾟﾛｯﾀｶｯﾄ紙  *\r\nHprn=Big  *\r\n");
  WriteRaw(old);
  Form1& w = Open();
  EXPECT_TRUE(LogHas("1行目")) << ::testing::PrintToString(Log());
  EXPECT_TRUE(LogHas("\"OfiFile=/spool\"")) << ::testing::PrintToString(Log());
  EXPECT_EQ(Field("Text32"), "A0ﾌﾟﾛｯﾀﾛｰﾙ紙");  // not read: the default
  w.close();
  EXPECT_EQ(w.ExitStatus(), 0);
  EXPECT_EQ(start.ReadFile("Tovrin.sys.bak"), old);
  EXPECT_EQ(Saved().Plot, "A0ﾌﾟﾛｯﾀﾛｰﾙ紙");
}

TEST_F(SettingsFileTest, ValidSettingsAreSavedByteForByteWithoutBackup) {
  PlotSettings s = StoredDefaults();
  s.Plot = "A1ﾌﾟﾛｯﾀｶｯﾄ紙";
  s.OfiB2 = "縦";
  s.OfiFEnd = "消去";
  s.OfiTop = 1260;  // whole pixels at 96 dpi, so the window position comes back exactly
  s.OfiLeft = 1155;
  WriteSettings(s);
  const std::string before = start.ReadFile(kSettingsFileName);
  Form1& w = Open();
  EXPECT_TRUE(Log().empty()) << ::testing::PrintToString(Log());
  w.close();
  EXPECT_TRUE(start.ReadFile(kSettingsFileName) == before);
  EXPECT_FALSE(start.Exists("Tovrin.sys.bak"));
}

TEST_F(SettingsFileTest, ALinkedSettingsFileIsWrittenThrough) {
  TempFolder shared;
  PlotSettings s = StoredDefaults();
  s.Hprn = "Shared";
  std::string error;
  ASSERT_TRUE(SaveSettingsFile(shared / "office.sys", s, error)) << error;
  ASSERT_EQ(::symlink((shared / "office.sys").c_str(), (start / kSettingsFileName).c_str()), 0);
  Form1& w = Open();
  EXPECT_EQ(Field("Text30"), "Shared");
  w.SetFieldText("Text23", "A3");
  w.close();
  EXPECT_EQ(w.ExitStatus(), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(start / kSettingsFileName));
  PlotSettings through = PlotSettings::Defaults("x");
  ASSERT_TRUE(LoadSettingsFile(shared / "office.sys", through));
  EXPECT_EQ(through.OfiS, "A3");
}

// ---- the tovrin program ----------------------------------------------------

using ProgramRun = CommandRun;

ProgramRun RunTovrin(const TempFolder& folder, const std::string& args) {
  return RunCommand("cd '" + folder.path() +
                    "' && QT_QPA_PLATFORM=offscreen timeout 20 '" TOVRIN_GUI_PATH "' " + args +
                    " 2>&1");
}

TEST(TovrinProgram, HelpAndVersionOpenNoWindowAndWriteNothing) {
  TempFolder dir;
  ProgramRun help = RunTovrin(dir, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: tovrin"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("AUTO<seconds>"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("--version"), std::string::npos) << help.out;
  ProgramRun version = RunTovrin(dir, "--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tovrin " TOVRIN_VERSION "\n");
  EXPECT_FALSE(dir.Exists(kSettingsFileName));
}

TEST(TovrinProgram, AutoRunOverACutShortFileKeepsItsBytesAsBackup) {
  TempFolder dir;
  const std::string old = *ToCp932("Hprn=Plotter in room 2\r\nOfiFEnd=消去  *\r\n");
  dir.WriteFile(kSettingsFileName, old);
  ProgramRun r = RunTovrin(dir, "AUTO");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(dir.ReadFile("Tovrin.sys.bak"), old);
  PlotSettings saved = PlotSettings::Defaults("x");
  ASSERT_TRUE(LoadSettingsFile(dir / kSettingsFileName, saved));
  EXPECT_EQ(saved.OfiFEnd, "保存");
}

}  // namespace
}  // namespace tovrin::test
