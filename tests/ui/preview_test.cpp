// Previews in the desktop program: the job log's preview windows, the plot
// view's zoom and pan, and the file chooser's preview pane.
#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTreeView>
#include <QWheelEvent>
#include <filesystem>
#include <fstream>

#include "ofi_builder.h"
#include "preview/hpgl_parser.h"
#include "preview/preview_texts.h"
#include "translate.h"
#include "ui/chooser_geometry.h"
#include "ui/chooser_preview.h"
#include "ui/file_chooser.h"
#include "ui/kept_plots.h"
#include "ui/preview_window.h"
#include "window_fixture.h"

namespace tovrin::test {
namespace {

// A drawing of `lines` short strokes fanning out from the corner.
OfiBuilder Fan(const std::string& label, int lines) {
  OfiBuilder b;
  b.Header(label).Scale(10).SheetRecord(29700, 21000, 29700, 21000);
  for (int i = 0; i < lines; ++i) b.Line(1000, 1000, 9000, 1000 + 1000 * (i + 1));
  b.End();
  return b;
}

preview::Box InkOf(const std::string& glf) { return preview::ParseGlf(glf).InkBounds(); }

void ExpectSameBox(const preview::Box& a, const preview::Box& b) {
  ASSERT_TRUE(a.valid && b.valid);
  EXPECT_DOUBLE_EQ(a.x0, b.x0);
  EXPECT_DOUBLE_EQ(a.y0, b.y0);
  EXPECT_DOUBLE_EQ(a.x1, b.x1);
  EXPECT_DOUBLE_EQ(a.y1, b.y1);
}

TEST(KeptPlots, BudgetPushesOutTheOldestAndKeysAreNeverReused) {
  KeptPlots kept(10);
  const uint64_t a = kept.Keep("A.OFI", "aaaa");
  const uint64_t b = kept.Keep("B.OFI", "bbbb");
  EXPECT_EQ(kept.Bytes(), 8u);
  const uint64_t c = kept.Keep("C.OFI", "cccc");  // 12 > 10: A goes
  EXPECT_EQ(kept.Find(a), nullptr);
  ASSERT_NE(kept.Find(b), nullptr);
  EXPECT_EQ(kept.Find(b)->glf, "bbbb");
  EXPECT_EQ(kept.Find(c)->name, "C.OFI");
  EXPECT_EQ(kept.Bytes(), 8u);

  EXPECT_EQ(kept.Keep("HUGE.OFI", std::string(11, 'x')), 0u);  // never kept, nothing pushed out
  EXPECT_EQ(kept.Count(), 2u);

  kept.Clear();
  EXPECT_EQ(kept.Find(b), nullptr);
  const uint64_t d = kept.Keep("D.OFI", "d");
  EXPECT_GT(d, c);
  EXPECT_EQ(kept.Find(c), nullptr);
  EXPECT_EQ(kept.Find(0), nullptr);
}

class LogPreviewTest : public WindowTest {
 protected:
  void SetUp() override {
    PlotSettings s = StoredDefaults();
    s.OfiFile = ofi.path();
    s.OfiFMen = "自動";
    s.OfiOut = "ﾌﾟﾛｯﾀ";  // delivered, then the GLF is deleted
    WriteSettings(s);
    Open().show();
  }
  QListWidget* Log() const { return window->findChild<QListWidget*>("List2"); }
  QList<PreviewWindow*> Previews() const {
    return window->findChildren<PreviewWindow*>(Qt::FindDirectChildrenOnly);
  }
  void DoubleClickLine(int row) {
    QListWidgetItem* item = Log()->item(row);
    ASSERT_NE(item, nullptr);
    Log()->scrollToItem(item);
    // As a mouse sends it: the second press comes with the double click.
    const QPoint at = Log()->visualItemRect(item).center();
    QTest::mouseClick(Log()->viewport(), Qt::LeftButton, {}, at);
    QTest::mousePress(Log()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(Log()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(Log()->viewport(), Qt::LeftButton, {}, at);
  }
};

TEST_F(LogPreviewTest, DoubleClickOpensTheDrawingOfThatLineAfterItsGlfWasDeleted) {
  window->RunJob();  // empty folder: a message line only
  ASSERT_EQ(Log()->count(), 1);
  Fan("ONE", 1).Save(ofi / "A.OFI");
  Fan("THREE", 3).Save(ofi / "B.OFI");
  window->RunJob();
  ASSERT_EQ(Log()->count(), 3);
  ASSERT_EQ(spooler.documents.size(), 2u);
  EXPECT_FALSE(std::filesystem::exists(ofi / "A.GLF"));
  EXPECT_FALSE(std::filesystem::exists(ofi / "B.GLF"));
  EXPECT_EQ(window->KeptDrawings().Count(), 2u);

  DoubleClickLine(0);  // the message
  EXPECT_TRUE(Previews().empty());

  DoubleClickLine(2);
  ASSERT_EQ(Previews().size(), 1);
  PreviewWindow* b = Previews()[0];
  EXPECT_EQ(b->DrawingName(), "B.OFI");
  EXPECT_TRUE(b->isVisible());
  EXPECT_NE(b->windowTitle().indexOf("B.OFI"), -1);
  ExpectSameBox(b->View()->Picture().InkBounds(), InkOf(spooler.documents[1].bytes));

  DoubleClickLine(1);
  ASSERT_EQ(Previews().size(), 2);
  PreviewWindow* a = Previews()[0] == b ? Previews()[1] : Previews()[0];
  EXPECT_EQ(a->DrawingName(), "A.OFI");
  ExpectSameBox(a->View()->Picture().InkBounds(), InkOf(spooler.documents[0].bytes));

  DoubleClickLine(2);  // already open: raised, not opened twice
  EXPECT_EQ(Previews().size(), 2);
}

TEST_F(LogPreviewTest, OnlyTheLastJobsDrawingsAreKept) {
  Fan("ONE", 1).Save(ofi / "A.OFI");
  window->RunJob();
  window->RunJob();  // the OFI is kept: plotted again
  ASSERT_EQ(Log()->count(), 2);
  EXPECT_EQ(window->OpenPreview(0), nullptr);
  EXPECT_NE(window->OpenPreview(1), nullptr);
  EXPECT_EQ(window->KeptDrawings().Count(), 1u);

  window->close();  // previews close with the window
  EXPECT_TRUE(QTest::qWaitFor([this] { return Previews().empty(); }, 2000));
}

TEST(PreviewWindowLimits, APictureAtItsLimitIsMarkedSimplifiedAndAWholeOneIsNot) {
  const std::string glf = Translate(PlotSettings::Defaults("."), Fan("FAN", 40)).glf;
  PreviewWindow whole("FAN.OFI", glf, 1);
  EXPECT_FALSE(whole.View()->Picture().truncated);
  EXPECT_TRUE(whole.View()->Note().isEmpty());

  preview::ParseLimits small = kPlotViewLimits;
  small.max_items = 5;
  PreviewWindow capped("FAN.OFI", glf, 2, nullptr, small);
  EXPECT_EQ(capped.View()->Picture().items.size(), 5u);
  EXPECT_EQ(capped.View()->Note(), QString::fromUtf8(preview::texts::kSimplified));
}

class PlotViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view.resize(400, 300);
    view.SetPicture(preview::ParseGlf(Translate(PlotSettings::Defaults("."), Fan("FAN", 8)).glf));
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.RenderNow();
  }
  QImage Shown() { return view.grab().toImage(); }
  void Wheel(QPointF at, int delta) {
    QWheelEvent event(at, view.mapToGlobal(at), {}, {0, delta}, Qt::NoButton, {}, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(&view, &event);
  }
  PlotView view;
};

TEST_F(PlotViewTest, WheelZoomsAboutTheCursorAndRendersOncePerPause) {
  const QPointF cursor(300, 80);
  const QPointF under = view.View().inverted().map(cursor);  // plotter point under the cursor
  const QImage before = Shown();
  const int renderings = view.Renderings();

  for (int i = 0; i < 4; ++i) Wheel(cursor, 120);
  EXPECT_NEAR(view.Zoom(), 1.25 * 1.25 * 1.25 * 1.25, 1e-9);
  const QPointF now = view.View().map(under);
  EXPECT_NEAR(now.x(), cursor.x(), 1e-6);
  EXPECT_NEAR(now.y(), cursor.y(), 1e-6);
  EXPECT_EQ(view.Renderings(), renderings);  // not yet: the wheel may still turn
  ASSERT_TRUE(QTest::qWaitFor([&] { return view.Renderings() > renderings; }, 2000));
  QTest::qWait(PlotView::kSettleMs * 2);
  EXPECT_EQ(view.Renderings(), renderings + 1);
  EXPECT_NE(Shown(), before);

  for (int i = 0; i < 100; ++i) Wheel(cursor, -120);
  EXPECT_DOUBLE_EQ(view.Zoom(), PlotView::kMinZoom);
  for (int i = 0; i < 100; ++i) Wheel(cursor, 120);
  EXPECT_DOUBLE_EQ(view.Zoom(), PlotView::kMaxZoom);
}

TEST_F(PlotViewTest, DraggingPansByTheMouseMoveAndDoubleClickFitsAgain) {
  view.ZoomAt({200, 150}, 3);
  const QTransform zoomed = view.View();
  QTest::mousePress(&view, Qt::LeftButton, {}, {100, 100});
  QMouseEvent move(QEvent::MouseMove, QPointF(160, 70), view.mapToGlobal(QPointF(160, 70)),
                   Qt::NoButton, Qt::LeftButton, {});
  QApplication::sendEvent(&view, &move);
  QTest::mouseRelease(&view, Qt::LeftButton, {}, {160, 70});
  EXPECT_DOUBLE_EQ(view.View().dx(), zoomed.dx() + 60);
  EXPECT_DOUBLE_EQ(view.View().dy(), zoomed.dy() - 30);
  EXPECT_DOUBLE_EQ(view.View().m11(), zoomed.m11());

  QTest::mouseDClick(&view, Qt::LeftButton, {}, {160, 70});
  EXPECT_DOUBLE_EQ(view.Zoom(), 1);
}

TEST_F(PlotViewTest, MessageReplacesThePictureAndTheViewIgnoresInput) {
  view.ShowMessage("nothing");
  EXPECT_FALSE(view.HasPicture());
  Wheel({10, 10}, 120);
  EXPECT_DOUBLE_EQ(view.Zoom(), 1);
  EXPECT_FALSE(Shown().isNull());
}

class ChooserPaneTest : public ::testing::Test {
 protected:
  // Waits for the pane to show `name` (the chooser waits for the selection to settle).
  bool WaitShown(FileChooser& c, const std::string& name) {
    return QTest::qWaitFor([&] { return c.PreviewPane()->Shown() == dir / name; }, 3000);
  }
  TempFolder start, dir;
};

TEST_F(ChooserPaneTest, OriginalControlsKeepTheirPlacesAndThePaneLiesRightOfThem) {
  Fan("A", 1).Save(dir / "A.OFI");
  FileChooser c(nullptr, dir.path(), start.path(), ChooserPosition{});
  auto twips = [&](int l, int t, int w, int h) {
    return QRect(TwipsToPixelsX(&c, l), TwipsToPixelsY(&c, t), TwipsToPixelsX(&c, w),
                 TwipsToPixelsY(&c, h));
  };
  EXPECT_EQ(c.DrawingList()->geometry(), twips(120, 120, 6132, 2580));
  EXPECT_EQ(c.FolderTree()->geometry(), twips(6360, 480, 2532, 1704));
  EXPECT_EQ(c.findChild<QPushButton*>("Command1")->geometry(), twips(6360, 2400, 1092, 492));
  EXPECT_EQ(c.findChild<QPushButton*>("Command2")->geometry(), twips(7800, 2400, 1092, 492));
  EXPECT_EQ(c.DriveList()->geometry().topLeft(), twips(6360, 120, 0, 0).topLeft());
  EXPECT_EQ(c.DriveList()->width(), TwipsToPixelsX(&c, 2532));
  EXPECT_EQ(c.height(), TwipsToPixelsY(&c, 3045));
  EXPECT_GT(c.width(), TwipsToPixelsX(&c, 9045));

  const QRect pane = c.PreviewPane()->geometry();
  EXPECT_GE(pane.left(), c.FolderTree()->geometry().right());
  EXPECT_LE(pane.right(), c.width());
  EXPECT_LE(pane.bottom(), c.height());
}

TEST_F(ChooserPaneTest, SelectedDrawingIsTranslatedWithTheGivenSettings) {
  Fan("ONE", 1).Save(dir / "A.OFI");
  OfiBuilder three = Fan("THREE", 3);
  three.Save(dir / "B.OFI");
  PlotSettings half = PlotSettings::Defaults(start.path());
  half.OfiS = "50";
  const std::string expected = Translate(half, three).glf;
  ASSERT_NE(InkOf(expected).x1,
            InkOf(Translate(PlotSettings::Defaults(start.path()), three).glf).x1);

  FileChooser c(nullptr, dir.path(), start.path(), ChooserPosition{}, &half);
  c.show();
  EXPECT_FALSE(c.PreviewPane()->View()->HasPicture());
  c.DrawingList()->setCurrentRow(1);
  ASSERT_TRUE(WaitShown(c, "B.OFI"));
  ASSERT_TRUE(c.PreviewPane()->View()->HasPicture());
  ExpectSameBox(c.PreviewPane()->View()->Picture().InkBounds(), InkOf(expected));

  c.DrawingList()->clearSelection();  // nothing selected: the pane empties
  EXPECT_TRUE(QTest::qWaitFor([&] { return c.PreviewPane()->Shown().empty(); }, 3000));
  EXPECT_FALSE(c.PreviewPane()->View()->HasPicture());
}

TEST_F(ChooserPaneTest, HugeOrUnreadableDrawingsShowAReasonInstead) {
  const std::string huge = dir / "HUGE.OFI";
  { std::ofstream(huge) << "x"; }
  std::filesystem::resize_file(huge, kMaxPreviewOfiBytes + 1);  // sparse: cheap to make
  PreviewTranslation t = TranslateForPreview(huge, PlotSettings::Defaults(start.path()));
  EXPECT_TRUE(t.glf.empty());
  EXPECT_NE(t.problem.find("大きすぎる"), std::string::npos) << t.problem;

  t = TranslateForPreview(dir / "MISSING.OFI", PlotSettings::Defaults(start.path()));
  EXPECT_TRUE(t.glf.empty());
  EXPECT_FALSE(t.problem.empty());

  ChooserPreview pane(nullptr, PlotSettings::Defaults(start.path()));
  pane.ShowDrawing(huge);
  EXPECT_FALSE(pane.View()->HasPicture());
  EXPECT_NE(pane.View()->Message().indexOf("大きすぎる"), -1)
      << pane.View()->Message().toStdString();
}

TEST_F(ChooserPaneTest, ATranslationOutOfTimeShowsThePartMade) {
  OfiBuilder big;
  big.Header("BIG");
  for (int i = 0; i < 20000; ++i) big.Line(i % 1000, 0, 1000, i % 700);
  big.End();
  big.Save(dir / "BIG.OFI");
  PreviewTranslation t =
      TranslateForPreview(dir / "BIG.OFI", PlotSettings::Defaults(start.path()), 0);
  EXPECT_TRUE(t.partial);
  EXPECT_FALSE(t.glf.empty());
  EXPECT_FALSE(t.problem.empty());
}

}  // namespace
}  // namespace tovrin::test
