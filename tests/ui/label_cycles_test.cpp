// Clicks on Form1's labels and what they do to the fields.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include "window_fixture.h"

namespace tovrin::test {
namespace {

class LabelCycleTest : public WindowTest {
 protected:
  std::vector<std::string> ClickTimes(const char* label, const char* field, int times) {
    std::vector<std::string> seen;
    for (int i = 0; i < times; ++i) {
      Click(label);
      seen.push_back(Field(field));
    }
    return seen;
  }
  void OpenWithPlotter(const char* plotter) {
    PlotSettings s = StoredDefaults();
    s.Plot = plotter;
    WriteSettings(s);
    Open();
  }
  std::vector<std::string> Fields(std::initializer_list<const char*> names) const {
    std::vector<std::string> out;
    for (const char* n : names) out.push_back(Field(n));
    return out;
  }
  using Texts = std::vector<std::string>;
};

TEST_F(LabelCycleTest, RotationsCycleAndUnknownTextRestartsAtZero) {
  Open();
  EXPECT_EQ(ClickTimes("Label2", "Text2", 5), (Texts{"90", "180", "270", "0", "90"}));
  window->SetFieldText("Text22", "45");
  Click("Label25");
  EXPECT_EQ(Field("Text22"), "0");
}

TEST_F(LabelCycleTest, PensWrapAtFifteenAndCountOnFromAnyNumber) {
  Open();
  window->SetFieldText("Text6", "15");
  Click("Label7");
  EXPECT_EQ(Field("Text6"), "0");
  window->SetFieldText("Text31", "20");
  Click("Label35");
  EXPECT_EQ(Field("Text31"), "21");
  window->SetFieldText("Text10", "pen");
  Click("Label11");
  EXPECT_EQ(Field("Text10"), "1");

  Click("Label12");  // reset leaves the break-line pen alone
  EXPECT_EQ(Fields({"Text6", "Text7", "Text8", "Text9", "Text10", "Text31"}),
            (Texts{"3", "2", "1", "1", "1", "21"}));
}

TEST_F(LabelCycleTest, ThicknessRunsMinusSevenToSevenThenAllLevelsThenBack) {
  Open();
  window->SetFieldText("Text27", "-7");
  Texts seen = ClickTimes("Label31", "Text27", 16);
  EXPECT_EQ(seen, (Texts{"-6", "-5", "-4", "-3", "-2", "-1", "0", "1", "2", "3", "4", "5", "6", "7",
                         "9999", "-7"}));
}

TEST_F(LabelCycleTest, LevelToggleAtStartWithAllLevelsLoadedEmptiesTheFields) {
  PlotSettings s = StoredDefaults();
  s.LineZ = s.LineE = s.LineK = s.LineH = "9999";
  WriteSettings(s);
  Open();
  Click("Label29");
  EXPECT_EQ(Fields({"Text26", "Text27", "Text28", "Text29"}), (Texts{"", "", "", ""}));
}

TEST_F(LabelCycleTest, LevelToggleRemembersAndRestoresTheFourLevels) {
  Open();
  window->SetFieldText("Text28", "9999");
  Click("Label29");
  EXPECT_EQ(Fields({"Text26", "Text27", "Text28", "Text29"}),
            (Texts{"9999", "9999", "9999", "9999"}));
  Click("Label29");
  EXPECT_EQ(Fields({"Text26", "Text27", "Text28", "Text29"}), (Texts{"2", "-3", "9999", "2"}));
}

TEST_F(LabelCycleTest, ReductionStepsThroughPapersAndStopsAtThePlottersSize) {
  OpenWithPlotter("A1ﾌﾟﾛｯﾀﾛｰﾙ紙");
  window->SetFieldText("Text23", "75");
  EXPECT_EQ(ClickTimes("Label26", "Text23", 5), (Texts{"A4", "A3", "A2", "A1", "100"}));
}

TEST_F(LabelCycleTest, ReductionReachesA0WithAnA0Plotter) {
  OpenWithPlotter("A0ﾌﾟﾛｯﾀｶｯﾄ紙");
  window->SetFieldText("Text23", "A1");
  EXPECT_EQ(ClickTimes("Label26", "Text23", 3), (Texts{"A0", "100", "A4"}));
}

TEST_F(LabelCycleTest, CutSheetLabelsOfARollPlotterIgnoreClicks) {
  PlotSettings s = StoredDefaults();
  s.Plot = "A1ﾌﾟﾛｯﾀﾛｰﾙ紙";
  s.OfiB4 = "横";
  WriteSettings(s);
  Open();
  EXPECT_FALSE(Enabled("Label40"));
  EXPECT_FALSE(Enabled("Text35"));
  Click("Label40");
  EXPECT_EQ(Field("Text35"), "縦");
}

TEST_F(LabelCycleTest, CutSheetOrientationTogglesWithACutPlotter) {
  OpenWithPlotter("A0ﾌﾟﾛｯﾀｶｯﾄ紙");
  EXPECT_TRUE(Enabled("Label43"));
  EXPECT_EQ(ClickTimes("Label43", "Text38", 2), (Texts{"縦", "横"}));
}

TEST_F(LabelCycleTest, PlotterCycleSetsPresetsAndCutSheetEnabling) {
  Open();  // A0 roll
  const auto rotations = {"Text2", "Text3", "Text4", "Text5", "Text20", "Text21", "Text22"};
  const auto sheets = {"Text35", "Text36", "Text37", "Text38"};
  auto enabled = [this] {
    std::vector<bool> e;
    for (int k = 0; k < 4; ++k)
      e.push_back(Enabled(("Label" + std::to_string(40 + k)).c_str()) &&
                  Enabled(("Text" + std::to_string(35 + k)).c_str()));
    return e;
  };

  Click("Label6");
  EXPECT_EQ(Field("Text32"), "A1ﾌﾟﾛｯﾀｶｯﾄ紙");
  EXPECT_EQ(Fields(rotations), (Texts{"90", "0", "0", "90", "0", "90", "90"}));
  EXPECT_EQ(Fields(sheets), (Texts{"横", "横", "横", "縦"}));
  EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true, false}));

  Click("Label6");
  EXPECT_EQ(Field("Text32"), "A0ﾌﾟﾛｯﾀｶｯﾄ紙");
  EXPECT_EQ(Fields(rotations), (Texts{"90", "0", "0", "90", "0", "0", "90"}));
  EXPECT_EQ(Fields(sheets), (Texts{"横", "横", "横", "横"}));
  EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true, true}));

  Click("Label6");
  EXPECT_EQ(Field("Text32"), "A1ﾌﾟﾛｯﾀﾛｰﾙ紙");
  EXPECT_EQ(Fields(rotations), (Texts{"90", "0", "90", "90", "0", "90", "0"}));
  EXPECT_EQ(Fields(sheets), (Texts{"縦", "縦", "縦", "縦"}));
  EXPECT_EQ(enabled(), (std::vector<bool>{false, false, false, false}));

  Click("Label6");
  EXPECT_EQ(Field("Text32"), "A0ﾌﾟﾛｯﾀﾛｰﾙ紙");
  EXPECT_EQ(Fields(rotations), (Texts{"0", "90", "0", "0", "90", "0", "90"}));
  EXPECT_EQ(enabled(), (std::vector<bool>{false, false, false, false}));

  window->SetFieldText("Text32", "A2");  // unknown kinds go to A1 roll
  Click("Label6");
  EXPECT_EQ(Field("Text32"), "A1ﾌﾟﾛｯﾀﾛｰﾙ紙");
}

TEST_F(LabelCycleTest, TwoWayTogglesTakeAnyOtherTextToTheirFirstValue) {
  Open();
  EXPECT_EQ(ClickTimes("Label13", "Text11", 2), (Texts{"自動", "手動"}));
  EXPECT_EQ(ClickTimes("Label14", "Text12", 2), (Texts{"消去", "保存"}));
  EXPECT_EQ(ClickTimes("Label15", "Text13", 2), (Texts{"ﾌｧｲﾙ", "ﾌﾟﾛｯﾀ"}));
  EXPECT_EQ(ClickTimes("Label16", "Text14", 2), (Texts{"半角", "全角"}));
  window->SetFieldText("Text15", "?");
  EXPECT_EQ(ClickTimes("Label17", "Text15", 1), (Texts{"半角"}));
  window->SetFieldText("Text13", "");
  EXPECT_EQ(ClickTimes("Label15", "Text13", 1), (Texts{"ﾌﾟﾛｯﾀ"}));
}

TEST_F(LabelCycleTest, FactorAndMarginFieldsDropRefusedKeys) {
  Open();
  auto* factor = window->findChild<QLineEdit*>("Text16");
  factor->clear();
  QTest::keyClicks(factor, "-1.5/x+ 2");
  EXPECT_EQ(Field("Text16"), "-1.5/2");
  QTest::keyClick(factor, Qt::Key_Backspace);
  EXPECT_EQ(Field("Text16"), "-1.5/2");

  auto* margin = window->findChild<QLineEdit*>("Text33");
  margin->clear();
  QTest::keyClicks(margin, "-12.5a");
  EXPECT_EQ(Field("Text33"), "12.5");

  auto* folder = window->findChild<QLineEdit*>("Text1");
  folder->clear();
  QTest::keyClicks(folder, "a-b");
  EXPECT_EQ(Field("Text1"), "a-b");
}

TEST_F(LabelCycleTest, PaletteButtonsShowBgrColoursAndKeepThemOnCancel) {
  Open();
  auto colour = [this](const char* button) {
    return window->findChild<QPushButton*>(button)->palette().color(QPalette::Button);
  };
  EXPECT_EQ(colour("Command9"), QColor(255, 74, 0));  // 19199 is orange
  EXPECT_EQ(window->PaletteColour(8), 19199u);

  picked_colour = QColor(0, 74, 255);
  Click("Command3");
  EXPECT_EQ(window->PaletteColour(2), 0xFF4A00u);
  EXPECT_EQ(colour("Command3"), QColor(0, 74, 255));

  picked_colour.reset();  // cancelled
  Click("Command3");
  EXPECT_EQ(window->PaletteColour(2), 0xFF4A00u);
}

}  // namespace
}  // namespace tovrin::test
