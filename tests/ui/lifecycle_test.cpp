// Start-up, the command line, jobs run from the window, and closing.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QListWidget>
#include <QMouseEvent>
#include <QTimer>
#include <filesystem>

#include "job/header_text.h"
#include "ofi_builder.h"
#include "settings/values.h"
#include "ui/auto_mode.h"
#include "ui/ui_texts.h"
#include "window_fixture.h"

namespace tovrin::test {
namespace {

class LifecycleTest : public WindowTest {
 protected:
  // Plots from the OFI folder into files: no printer involved.
  PlotSettings JobSettings() {
    PlotSettings s = StoredDefaults();
    s.OfiFile = ofi.path();
    s.OfiFMen = "自動";
    s.OfiOut = "ﾌｧｲﾙ";
    return s;
  }
  void AddDrawing(const std::string& name, const std::string& label, int lines = 0) {
    OfiBuilder b;
    b.Header(label);
    for (int i = 0; i < lines; ++i) b.Line(i % 1000, 0, 1000, i % 700);
    b.End();
    b.Save(ofi / name);
  }
  std::vector<std::string> Log() const {
    std::vector<std::string> lines;
    auto* list = window->findChild<QListWidget*>("List2");
    for (int i = 0; i < list->count(); ++i) lines.push_back(list->item(i)->text().toStdString());
    return lines;
  }
  QTimer* Timer(const char* name) const { return window->findChild<QTimer*>(name); }
  bool WaitClosed(int ms = 5000) {
    return QTest::qWaitFor([this] { return !window->isVisible(); }, ms);
  }
  // Runs `step` at every event pump of the job started by "作成", until it
  // returns true.
  void ClickCreateWhile(std::function<bool()> step) {
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (step()) poll.stop();
    });
    poll.start();
    Click("Command1");
    poll.stop();
  }
};

std::string Line(const std::string& label, const char* suffix) {
  std::string header = label;
  header.resize(16, ' ');
  return header + ",    " + suffix;
}

TEST_F(LifecycleTest, WithoutSettingsFileTheFieldsShowTheDefaults) {
  Form1& w = Open();
  const std::pair<const char*, std::string> expected[] = {{"Text1", start.path()},
                                                          {"Text34", "5"},
                                                          {"Text33", "17"},
                                                          {"Text2", "0"},
                                                          {"Text3", "90"},
                                                          {"Text4", "0"},
                                                          {"Text5", "0"},
                                                          {"Text20", "90"},
                                                          {"Text21", "0"},
                                                          {"Text22", "90"},
                                                          {"Text32", "A0ﾌﾟﾛｯﾀﾛｰﾙ紙"},
                                                          {"Text35", "縦"},
                                                          {"Text38", "縦"},
                                                          {"Text6", "3"},
                                                          {"Text7", "2"},
                                                          {"Text8", "1"},
                                                          {"Text9", "1"},
                                                          {"Text10", "1"},
                                                          {"Text31", "2"},
                                                          {"Text26", "2"},
                                                          {"Text27", "-3"},
                                                          {"Text28", "2"},
                                                          {"Text29", "2"},
                                                          {"Text23", "100"},
                                                          {"Text14", "全角"},
                                                          {"Text15", "全角"},
                                                          {"Text16", "0"},
                                                          {"Text17", "0"},
                                                          {"Text18", "0"},
                                                          {"Text19", "-0.14"},
                                                          {"Text24", "20"},
                                                          {"Text25", "10"},
                                                          {"Text11", "手動"},
                                                          {"Text12", "保存"},
                                                          {"Text13", "ﾌﾟﾛｯﾀ"},
                                                          {"Text30", ""}};
  for (const auto& [field, text] : expected) EXPECT_EQ(Field(field), text) << field;
  EXPECT_EQ(Caption("Command1"), "作成");
  EXPECT_EQ(w.windowTitle().toStdString(), "Zelk-HPGL2 出図 Ve1.25");
  EXPECT_EQ(w.PaletteColour(1), 65280u);
  EXPECT_EQ(w.PaletteColour(11), 5505098u);
  EXPECT_EQ(w.Mode().kind, AutoMode::Kind::Interactive);
  EXPECT_FALSE(Timer("Timer1")->isActive() || Timer("Timer2")->isActive());
}

TEST_F(LifecycleTest, StoredValuesAreShownAsTheyStandAndCutPlottersKeepTheirSheets) {
  PlotSettings s = StoredDefaults();
  s.OfiA4V = "45";
  s.Plot = "A1ﾌﾟﾛｯﾀｶｯﾄ紙";
  s.OfiB3 = "縦";
  s.OfiS = "A3";
  WriteSettings(s);
  Open();
  EXPECT_EQ(Field("Text2"), "45");
  EXPECT_EQ(Field("Text35"), "横");
  EXPECT_EQ(Field("Text36"), "縦");
  EXPECT_TRUE(Enabled("Label40"));
  EXPECT_TRUE(Enabled("Text38"));
  EXPECT_EQ(Field("Text23"), "A3");
}

struct CommandLineCase {
  const char* line;
  AutoMode::Kind kind;
  int32_t interval_ms;
  const char* caption;
};

TEST_F(LifecycleTest, CommandLinesChooseTheMode) {
  using K = AutoMode::Kind;
  const CommandLineCase cases[] = {
      {"", K::Interactive, 0, "作成"},
      {"AUTO", K::SingleRun, 0, "自動"},
      {"auto", K::SingleRun, 0, "自動"},
      {"Auto", K::Interactive, 0, "作成"},
      {"auto30", K::Interactive, 0, "作成"},
      {"AUTO2.5", K::Repeat, 2500, "自動\r 2秒"},
      {"AUTO0", K::Repeat, 0, "自動\r 0秒"},
      {"AUTOx", K::Repeat, 0, "自動\r 0秒"},
      {"AUTO30", K::Repeat, 30000,
       "\xe8\x87\xaa\xe5\x8b\x95\x0d\x20"
       "30\xe7\xa7\x92"},
      {"AUTO 60", K::Repeat, 60000, "自動\r 60秒"},
      {"AUTO-5", K::Repeat, 0, "自動\r 0秒"},
      {"AUTO100000", K::Repeat, 86400000, "自動\r 86400秒"},
  };
  for (const CommandLineCase& c : cases) {
    SCOPED_TRACE(c.line);
    Form1& w = Open(c.line);
    EXPECT_EQ(w.Mode().kind, c.kind);
    EXPECT_EQ(w.Mode().interval_ms, c.interval_ms);
    EXPECT_EQ(Caption("Command1"), c.caption);
    EXPECT_EQ(Field("Text11"), c.kind == K::Interactive ? "手動" : "自動");
    EXPECT_EQ(Field("Text12"), c.kind == K::Repeat ? "消去" : "保存");
    EXPECT_EQ(Timer("Timer2")->isActive(), c.kind == K::SingleRun);
    EXPECT_EQ(Timer("Timer1")->isActive(), c.interval_ms > 0);
    if (c.interval_ms > 0) {
      EXPECT_EQ(Timer("Timer1")->interval(), c.interval_ms);
    }
    window.reset();
  }
}

TEST_F(LifecycleTest, RepeatIntervalsRoundAndCap) {
  EXPECT_EQ(RepeatIntervalMs(2.5), 2500);
  EXPECT_EQ(RepeatIntervalMs(0.0004), 0);
  EXPECT_EQ(RepeatIntervalMs(0.0006), 1);
  EXPECT_EQ(RepeatIntervalMs(86400), 86400000);
  EXPECT_EQ(RepeatIntervalMs(1e300), 86400000);
  EXPECT_EQ(RepeatIntervalMs(-1), 0);
}

TEST_F(LifecycleTest, MovingOverCreateResetsTheCaptionOnlyWithoutARepeat) {
  auto move_over = [this] {
    auto* b = window->findChild<QPushButton*>("Command1");
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), b->mapToGlobal(QPointF(5, 5)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(b, &move);
  };
  Open("AUTO30");
  move_over();
  EXPECT_EQ(Caption("Command1"), "自動\r 30秒");
  Open("AUTO0");
  move_over();
  EXPECT_EQ(Caption("Command1"), "作成");
}

TEST_F(LifecycleTest, SingleAutomaticRunPlotsTheFolderThenSavesAndCloses) {
  PlotSettings s = JobSettings();
  s.OfiFMen = "手動";
  WriteSettings(s);
  AddDrawing("A.OFI", "FIRST");
  AddDrawing("B.ofi", "SECOND");
  Form1& w = Open("AUTO");
  w.show();
  ASSERT_EQ(Timer("Timer2")->interval(), 1000);
  Timer("Timer2")->start(0);  // no need to wait the second
  ASSERT_TRUE(WaitClosed());
  EXPECT_EQ(file_chooser_opened, 0);
  EXPECT_EQ(Log(),
            (std::vector<std::string>{Line("FIRST", "　出図終了"), Line("SECOND", "　出図終了")}));
  EXPECT_TRUE(ofi.Exists("A.GLF"));
  EXPECT_TRUE(ofi.Exists("B.GLF"));
  EXPECT_EQ(w.ExitStatus(), 0);
  EXPECT_EQ(Saved().OfiFMen, "自動");
  EXPECT_EQ(Saved().OfiFEnd, "保存");
}

TEST_F(LifecycleTest, FinishedJobLeavesEndCaptionAndTheButtonEnabled) {
  WriteSettings(JobSettings());
  Open();
  Click("Command1");
  EXPECT_EQ(Log(), std::vector<std::string>{"図面が無いか、サイズが0です"});
  EXPECT_EQ(Caption("Command1"), "終了");
  EXPECT_TRUE(Enabled("Command1"));
  EXPECT_FALSE(window->JobRunning());
}

TEST_F(LifecycleTest, RepeatTickDuringACreateJobIsSkippedAndRearmed) {
  WriteSettings(JobSettings());
  AddDrawing("A.OFI", "BIG", 2000);
  Open("AUTO30");
  bool ticked = false;
  ClickCreateWhile([&] {
    if (!ofi.Exists(".A.GLF.tmp")) return false;  // A is being translated
    if (!ticked) {
      ticked = true;
      Timer("Timer1")->start(0);
      return false;
    }
    return !Timer("Timer1")->isActive() || Timer("Timer1")->interval() == 30000;
  });
  EXPECT_TRUE(ticked);
  EXPECT_EQ(Log(),
            (std::vector<std::string>{ui_texts::kRepeatModeNote, Line("BIG", "　出図終了")}));
  EXPECT_TRUE(Timer("Timer1")->isActive());
  EXPECT_EQ(Timer("Timer1")->interval(), 30000);
  EXPECT_EQ(Caption("Command1"), "自動\r 30秒");  // a repeat keeps its caption
}

TEST_F(LifecycleTest, JobLetsTheWindowRunButNotAtEveryWord) {
  WriteSettings(JobSettings());
  const int lines = 20000;
  AddDrawing("A.OFI", "BIG", lines);
  pump_interval_ms = 15;
  Open();
  int pumps = 0;
  ClickCreateWhile([&] {
    ++pumps;
    return false;
  });
  EXPECT_EQ(Log(), std::vector<std::string>{Line("BIG", "　出図終了")});
  EXPECT_GE(pumps, 1);
  EXPECT_LE(pumps, lines / 64 + 4);
}

TEST_F(LifecycleTest, AbortInTheMiddleOfABigDrawingStopsItAndClosesTheWindow) {
  PlotSettings s = JobSettings();
  s.OfiFEnd = "消去";
  WriteSettings(s);
  AddDrawing("A.OFI", "SMALL");
  AddDrawing("B.OFI", "BIG", 2000);
  AddDrawing("C.OFI", "LATER");
  Form1& w = Open();
  w.show();
  bool aborted = false;
  ClickCreateWhile([&] {
    if (!ofi.Exists(".B.GLF.tmp")) return false;  // B is being translated
    Click("Command13");
    aborted = true;
    return true;
  });
  ASSERT_TRUE(aborted);
  EXPECT_EQ(Log(),
            (std::vector<std::string>{Line("SMALL", "　出図終了"), Line("BIG", "　出図中止")}));
  EXPECT_FALSE(ofi.Exists("A.OFI"));
  EXPECT_TRUE(ofi.Exists("A.GLF"));
  EXPECT_TRUE(ofi.Exists("B.OFI"));
  EXPECT_FALSE(ofi.Exists("B.GLF"));
  EXPECT_FALSE(ofi.Exists(".B.GLF.tmp"));
  EXPECT_TRUE(ofi.Exists("C.OFI"));
  EXPECT_FALSE(ofi.Exists("C.GLF"));
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(Timer("Timer3")->isActive());
  ASSERT_TRUE(WaitClosed(2000));
  EXPECT_EQ(w.ExitStatus(), 0);
  EXPECT_EQ(Saved().OfiFEnd, "消去");
}

TEST_F(LifecycleTest, ClosingDuringAJobSavesAtOnceAndLeavesTheWindowAlone) {
  WriteSettings(JobSettings());
  AddDrawing("A.OFI", "BIG", 2000);
  AddDrawing("B.OFI", "LATER");
  Form1& w = Open();
  w.show();
  float saved_margin = 0;
  ClickCreateWhile([&] {
    if (!ofi.Exists(".A.GLF.tmp")) return false;
    w.SetFieldText("Text34", "7.5");
    w.close();
    saved_margin = Saved().OfiMajX;
    return true;
  });
  EXPECT_EQ(saved_margin, 7.5f);
  EXPECT_FALSE(w.isVisible());
  EXPECT_FALSE(ofi.Exists("A.GLF"));
  EXPECT_FALSE(ofi.Exists(".A.GLF.tmp"));
  EXPECT_TRUE(ofi.Exists("A.OFI"));
  EXPECT_FALSE(ofi.Exists("B.GLF"));
  EXPECT_EQ(Log(), std::vector<std::string>{Line("BIG", "　出図中")});  // never rewritten
  EXPECT_FALSE(Enabled("Command1"));
  EXPECT_EQ(w.ExitStatus(), 0);
}

// The window's jobs take the same folder lock as the batch program's.
TEST_F(LifecycleTest, AFolderAnotherProgramPlotsIsLeftAlone) {
  WriteSettings(JobSettings());
  AddDrawing("A.OFI", "A");
  int fd = ::open(ofi.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  Open();
  Click("Command1");
  ASSERT_EQ(Log().size(), 1u);
  EXPECT_NE(Log()[0].find("別のプログラムがこのフォルダを出図中です"), std::string::npos);
  EXPECT_FALSE(ofi.Exists("A.GLF"));
  ::close(fd);
  Click("Command1");
  EXPECT_EQ(Log().back(), Line("A", "　出図終了"));
}

TEST_F(LifecycleTest, NonNumericMarginStopsTheJobAndKeepsTheOldSettingsFile) {
  WriteSettings(JobSettings());
  const std::string before = start.ReadFile(kSettingsFileName);
  AddDrawing("A.OFI", "ONE");
  Form1& w = Open();
  w.SetFieldText("Text34", "5mm");
  Click("Command1");
  ASSERT_EQ(Log().size(), 1u);
  EXPECT_NE(Log()[0].find("OfiMajX"), std::string::npos) << Log()[0];
  EXPECT_FALSE(ofi.Exists("A.GLF"));
  EXPECT_TRUE(Enabled("Command1"));

  testing::internal::CaptureStderr();
  w.close();
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Tovrin.sys"), std::string::npos) << err;
  EXPECT_EQ(w.ExitStatus(), 1);
  EXPECT_EQ(start.ReadFile(kSettingsFileName), before);
}

TEST_F(LifecycleTest, UnwritableSettingsFileIsReportedAndTheWindowStillCloses) {
  Form1& w = Open();
  w.show();
  std::filesystem::remove_all(start.path());
  testing::internal::CaptureStderr();
  w.close();
  EXPECT_NE(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(w.ExitStatus(), 1);
  EXPECT_FALSE(w.isVisible());
}

TEST_F(LifecycleTest, PositionsAndChoicesRoundTripThroughTheSettingsFile) {
  PlotSettings s = JobSettings();
  s.OfiTop = 1500;
  s.OfiLeft = 3000;
  s.OfiFMen = "手動";
  s.Hprn = "Stored";
  s.OfiC5 = 19199.5;  // ties to even on the button
  WriteSettings(s);
  AddDrawing("A.OFI", "CHOSEN");
  chosen_files = {"A.OFI"};
  Form1& w = Open();
  w.show();
  EXPECT_EQ(w.PaletteColour(5), 19200u);

  Click("Command1");  // manual: the chooser picks the drawing
  EXPECT_EQ(file_chooser_opened, 1);
  EXPECT_EQ(Log(), std::vector<std::string>{Line("CHOSEN", "　出図終了")});
  EXPECT_EQ(Field("Text1"), ofi.path());

  w.SetFieldText("Text30", "Plotter1");
  Click("Command14");  // cancelled: back to the remembered name
  EXPECT_EQ(Field("Text30"), "Stored");
  chosen_printer = "Plotter2";
  Click("Command14");
  EXPECT_EQ(Field("Text30"), "Plotter2");

  w.close();
  PlotSettings saved = Saved();
  EXPECT_EQ(saved.OfiTop, 1500);
  EXPECT_EQ(saved.OfiLeft, 3000);
  EXPECT_EQ(saved.FilTop, 300);
  EXPECT_EQ(saved.FilLeft, 400);
  EXPECT_EQ(saved.PrnTop, 500);
  EXPECT_EQ(saved.PrnLeft, 600);
  EXPECT_EQ(saved.Hprn, "Plotter2");
  EXPECT_EQ(saved.OfiC5, 19200);
  EXPECT_EQ(saved.OfiFMen, "手動");
}

TEST_F(LifecycleTest, EmptyManualChoiceLogsNoDrawings) {
  PlotSettings s = JobSettings();
  s.OfiFMen = "手動";
  WriteSettings(s);
  AddDrawing("A.OFI", "UNCHOSEN");
  Open();
  Click("Command1");
  EXPECT_EQ(file_chooser_opened, 1);
  EXPECT_EQ(Log(), std::vector<std::string>{"図面が無いか、サイズが0です"});
  EXPECT_FALSE(ofi.Exists("A.GLF"));
}

}  // namespace
}  // namespace tovrin::test
