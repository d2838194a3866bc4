// The job history window of the desktop program over a real Tovrin.db.
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <filesystem>

#include "history/job_history.h"
#include "ofi_builder.h"
#include "ui/history_window.h"
#include "ui/preview_window.h"
#include "window_fixture.h"

namespace tovrin::test {
namespace {

HistoryRow Row(const std::string& name, const char* result, int64_t started_ms) {
  HistoryRow r;
  r.job = 1;
  r.started_ms = started_ms;
  r.ended_ms = started_ms + 3000;
  r.drawing = {"/spool", name, 2048, 1, 2};
  r.header = "軸受ﾌﾞﾗｹｯﾄ";
  r.glf_bytes = 4321;
  r.result = result;
  r.printer = "Plotter";
  return r;
}

class HistoryWindowTest : public WindowTest {
 protected:
  std::string DatabasePath() const { return start / kHistoryFileName; }
  void AddRows(const std::vector<HistoryRow>& rows) {
    std::string error;
    auto h = JobHistory::Open(DatabasePath(), error);
    ASSERT_TRUE(h) << error;
    for (HistoryRow r : rows) {
      ASSERT_TRUE(h->Add(r)) << h->LastError();
      ASSERT_GT(r.id, 0);
    }
  }
  HistoryWindow* History() const {
    return window->findChild<HistoryWindow*>(QString(), Qt::FindDirectChildrenOnly);
  }
  static std::string Cell(HistoryWindow* w, int row, int column) {
    QTableWidgetItem* item = w->Table()->item(row, column);
    return item ? item->text().toStdString() : "<none>";
  }
  static void DoubleClickRow(HistoryWindow* w, int row) {
    QTableWidget* t = w->Table();
    const QPoint at = t->visualItemRect(t->item(row, 2)).center();
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, at);
    QTest::mousePress(t->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(t->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(t->viewport(), Qt::LeftButton, {}, at);
  }
};

TEST_F(HistoryWindowTest, ButtonShowsTheRowsNewestFirstWithJapaneseLabels) {
  HistoryRow done = Row("A.OFI", history_result::kFinished, 1'700'000'000'000);
  done.cups_job_id = 17;
  done.cups_state = "completed";
  HistoryRow sending = Row("B.OFI", history_result::kDelivering, 1'700'000'100'000);
  sending.cups_job_id = 18;
  sending.cups_state = "pending";
  sending.reason = "cannot connect to 127.0.0.1:9";
  HistoryRow stopped = Row("C.OFI", history_result::kAborted, 1'700'000'200'000);
  AddRows({done, sending, stopped});
  Open().show();
  EXPECT_EQ(History(), nullptr);

  Click("Command15");
  HistoryWindow* w = History();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  QStringList headings;
  for (int c = 0; c < w->Table()->columnCount(); ++c)
    headings << w->Table()->horizontalHeaderItem(c)->text();
  EXPECT_EQ(headings.join(","),
            QString::fromUtf8("開始,終了,ファイル,図面,OFI,GLF,結果,プリンタ,ジョブ,状態,理由"));
  ASSERT_EQ(w->Table()->rowCount(), 3);
  EXPECT_EQ(Cell(w, 0, 2), "C.OFI");
  EXPECT_EQ(Cell(w, 0, 6), "出図中止");
  EXPECT_EQ(Cell(w, 1, 2), "B.OFI");
  EXPECT_EQ(Cell(w, 1, 6), "送信中");
  EXPECT_EQ(Cell(w, 1, 8), "18");
  EXPECT_EQ(Cell(w, 1, 9), "待機中");
  EXPECT_EQ(Cell(w, 1, 10), "cannot connect to 127.0.0.1:9");
  EXPECT_EQ(Cell(w, 2, 6), "出図終了");
  EXPECT_EQ(Cell(w, 2, 9), "完了");
  EXPECT_EQ(Cell(w, 2, 3), "軸受ﾌﾞﾗｹｯﾄ");
  EXPECT_EQ(Cell(w, 2, 4), "2048");

  // A second click raises the same window with what was added meanwhile.
  AddRows({Row("D.OFI", history_result::kIncomplete, 1'700'000'300'000)});
  Click("Command15");
  EXPECT_EQ(window->findChildren<HistoryWindow*>(QString(), Qt::FindDirectChildrenOnly).size(), 1);
  ASSERT_EQ(w->Table()->rowCount(), 4);
  EXPECT_EQ(Cell(w, 0, 6), "図面不完全");

  window->close();  // the history goes with the main window
  EXPECT_FALSE(w->isVisible());
}

TEST_F(HistoryWindowTest, HistoryButtonTakesAFreePlaceAndLeavesEveryControlWhereItWas) {
  Open().show();
  QWidget* button = window->findChild<QWidget*>("Command15");
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(window->findChild<QPushButton*>("Command15")->text(), QString::fromUtf8("履歴"));
  EXPECT_TRUE(window->rect().contains(button->geometry()));
  for (QWidget* other : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (other == button || !other->isVisible() || other->isWindow()) continue;
    EXPECT_FALSE(button->geometry().intersects(other->geometry()))
        << other->objectName().toStdString();
  }
  // "作成" stays at its place (3480, 360 twips).
  const double px = window->logicalDpiY() / 1440.0;
  QWidget* create = window->findChild<QWidget*>("Command1");
  EXPECT_EQ(create->x(), qRound(3480 * px));
  EXPECT_EQ(create->y(), qRound(360 * px));
}

TEST_F(HistoryWindowTest, DoubleClickOpensThePreviewOnlyOfTheKeptDrawing) {
  PlotSettings s = StoredDefaults();
  s.OfiFile = ofi.path();
  s.OfiFMen = "自動";
  s.OfiOut = "ﾌﾟﾛｯﾀ";
  WriteSettings(s);
  OfiBuilder b;
  b.Header("KEPT")
      .Scale(10)
      .SheetRecord(29700, 21000, 29700, 21000)
      .Line(1000, 1000, 9000, 5000)
      .End();
  b.Save(ofi / "A.OFI");
  Open().show();
  window->RunJob();
  ASSERT_EQ(spooler.documents.size(), 1u);

  HistoryRow earlier = Row("A.OFI", history_result::kFinished, 1'700'000'000'000);
  earlier.glf_bytes = spooler.documents[0].bytes.size() + 1;  // another drawing of that name
  HistoryRow last = Row("A.OFI", history_result::kFinished, 1'700'000'100'000);
  last.glf_bytes = spooler.documents[0].bytes.size();
  AddRows({earlier, last});
  HistoryWindow* w = static_cast<HistoryWindow*>(window->OpenHistory());
  ASSERT_NE(w, nullptr);
  ASSERT_EQ(w->Table()->rowCount(), 3);  // and the job's own row, added first

  DoubleClickRow(w, 1);  // the earlier one
  EXPECT_TRUE(
      window->findChildren<PreviewWindow*>(QString(), Qt::FindDirectChildrenOnly).isEmpty());
  EXPECT_EQ(w->Status()->text(), QString::fromUtf8("この図面の出図イメージは残っていません"));

  DoubleClickRow(w, 0);
  auto previews = window->findChildren<PreviewWindow*>(QString(), Qt::FindDirectChildrenOnly);
  ASSERT_EQ(previews.size(), 1);
  EXPECT_EQ(previews[0]->DrawingName(), "A.OFI");
  EXPECT_TRUE(previews[0]->View()->HasPicture());
}

TEST_F(HistoryWindowTest, MissingOrUnreadableDatabaseSaysSoAndCreatesNothing) {
  Open().show();
  auto* w = static_cast<HistoryWindow*>(window->OpenHistory());
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->Table()->rowCount(), 0);
  EXPECT_EQ(w->Status()->text(), QString::fromUtf8("履歴はまだありません"));
  EXPECT_FALSE(std::filesystem::exists(DatabasePath()));

  std::filesystem::create_directory(DatabasePath());
  w->Reload();
  EXPECT_EQ(w->Table()->rowCount(), 0);
  EXPECT_TRUE(w->Status()->text().startsWith(QString::fromUtf8("履歴を開けません: ")))
      << w->Status()->text().toStdString();
}

}  // namespace
}  // namespace tovrin::test
