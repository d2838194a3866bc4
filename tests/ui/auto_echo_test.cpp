// Automatic runs of the desktop program print the job log like the batch
// program and the single run's exit status says whether every drawing was
// finished: the window offscreen, and the real program.
#include <sys/wait.h>

#include <QTest>
#include <cstdlib>
#include <sstream>

#include "ofi_builder.h"
#include "ui/ui_texts.h"
#include "window_fixture.h"

namespace tovrin::test {
namespace {

constexpr const char* kFinished = "　出図終了";
constexpr const char* kStopped = "　出図中止";
constexpr const char* kPlotting = "　出図中";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

OfiBuilder Drawing(const std::string& header) {
  OfiBuilder b;
  b.Header(header).Scale(10).SheetRecord(29700, 21000, 29700, 21000).Line(1000, 1000, 9000, 5000);
  return b;
}

class AutoEchoTest : public WindowTest {
 protected:
  void SetUp() override {
    PlotSettings s = StoredDefaults();
    s.OfiFile = ofi.path();
    s.OfiOut = "ﾌｧｲﾙ";
    WriteSettings(s);
    log_echo = &echo;
  }
  void AddGood(const std::string& name) { Drawing(name).End().Save(ofi / name); }
  void AddCutShort(const std::string& name) { Drawing(name).Save(ofi / name); }  // no end marker
  // Runs the single automatic run to its close.
  void RunAuto() {
    Open("AUTO").show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 10000));
  }

  std::ostringstream echo;
};

TEST_F(AutoEchoTest, SingleRunPrintsEachFinalLineAndExitsOneForAnUnfinishedDrawing) {
  AddGood("A.OFI");
  AddCutShort("B.OFI");
  RunAuto();
  std::vector<std::string> lines = Lines(echo.str());
  ASSERT_EQ(lines.size(), 3u) << echo.str();
  EXPECT_TRUE(lines[0].ends_with(kFinished)) << lines[0];
  EXPECT_TRUE(lines[1].ends_with(kStopped)) << lines[1];
  EXPECT_FALSE(lines[2].empty());  // why B stopped
  for (const std::string& line : lines) EXPECT_FALSE(line.ends_with(kPlotting)) << line;
  EXPECT_EQ(window->ExitStatus(), 1);
}

TEST_F(AutoEchoTest, SingleRunWithEveryDrawingFinishedExitsZero) {
  AddGood("A.OFI");
  RunAuto();
  ASSERT_EQ(Lines(echo.str()).size(), 1u) << echo.str();
  EXPECT_EQ(window->ExitStatus(), 0);
}

TEST_F(AutoEchoTest, RepeatModePrintsTooInteractiveDoesNot) {
  AddGood("A.OFI");
  Open().show();
  window->RunJob();
  EXPECT_EQ(echo.str(), "");  // the window's log is enough

  AddGood("B.OFI");
  Open("AUTO1").show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !echo.str().empty(); }, 5000));
  window->close();
  std::vector<std::string> lines = Lines(echo.str());
  ASSERT_GE(lines.size(), 2u);
  // First what the command line changes: finished drawings are deleted,
  // and that is saved in Tovrin.sys.
  EXPECT_EQ(lines[0], ui_texts::kRepeatModeNote);
  EXPECT_TRUE(lines[1].ends_with(kFinished)) << lines[1];
}

TEST_F(AutoEchoTest, TheProgramPrintsToStdoutAndExitsOne) {
  AddGood("A.OFI");
  AddCutShort("B.OFI");
  std::string out = start / "stdout.txt";
  std::string command = "cd '" + start.path() + "' && QT_QPA_PLATFORM=offscreen timeout 60 " +
                        TOVRIN_GUI_PATH + " AUTO >'" + out + "' 2>/dev/null";
  int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  std::vector<std::string> lines = Lines(start.ReadFile("stdout.txt"));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(lines[0].ends_with(kFinished)) << lines[0];
  EXPECT_TRUE(lines[1].ends_with(kStopped)) << lines[1];
  EXPECT_TRUE(ofi.Exists("A.GLF"));
  EXPECT_TRUE(ofi.Exists("B.OFI"));
}

}  // namespace
}  // namespace tovrin::test
