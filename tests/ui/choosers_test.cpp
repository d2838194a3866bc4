#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileSystemModel>
#include <QListWidget>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <QTreeView>
#include <filesystem>
#include <functional>

#include "drawing_files.h"
#include "fakes.h"
#include "job/header_text.h"
#include "job/plot_job.h"
#include "ofi_builder.h"
#include "temp_folder.h"
#include "ui/file_chooser.h"
#include "ui/printer_chooser.h"

namespace tovrin {
namespace {

using test::FakeHost;
using test::FakeSpooler;
using test::OfiBuilder;
using test::SaveDrawing;
using test::TempFolder;

QStringList Texts(const QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

void Click(QWidget* window, const char* name) {
  auto* button = window->findChild<QPushButton*>(QString::fromLatin1(name));
  ASSERT_NE(button, nullptr) << name;
  button->click();
}

// Acts on the modal window `W` once its event loop runs. A window that never
// shows up fails the test instead of hanging it.
template <class W>
void WhenShown(std::function<void(W&)> act) {
  QTimer::singleShot(0, [act] {
    auto* window = dynamic_cast<W*>(QApplication::activeModalWidget());
    if (!window) {
      ADD_FAILURE() << "no modal chooser";
      return;
    }
    act(*window);
  });
  QTimer::singleShot(5000, [] {
    if (auto* stuck = dynamic_cast<QDialog*>(QApplication::activeModalWidget())) {
      ADD_FAILURE() << "chooser left open";
      stuck->reject();
    }
  });
}

QPoint PixelsAt(const QWidget& w, const ChooserPosition& p) {
  return {static_cast<int>(std::lround(p.left * w.logicalDpiX() / 1440.0)),
          static_cast<int>(std::lround(p.top * w.logicalDpiY() / 1440.0))};
}

// The remembered position after the window at `p` was moved by `by` pixels.
ChooserPosition MovedBy(const ChooserPosition& p, QPoint by) {
  QWidget probe;
  QPoint px = PixelsAt(probe, p) + by;
  return {static_cast<int16_t>(std::lround(px.y() * 1440.0 / probe.logicalDpiY())),
          static_cast<int16_t>(std::lround(px.x() * 1440.0 / probe.logicalDpiX()))};
}

class FileChooserTest : public ::testing::Test {
 protected:
  TempFolder start, dir;
  ChooserPosition position;
};

TEST_F(FileChooserTest, ListsTheDrawingsTheNameRulesTake) {
  SaveDrawing(dir, "A.OFI", "AAAA");
  SaveDrawing(dir, "b.ofi", "bbbb");
  SaveDrawing(dir, "C.Ofi", "CCCC");
  SaveDrawing(dir, "notes-OFI.txt", "NOTE");
  dir.WriteFile("X.OFI", "");
  std::filesystem::create_directory(dir / "sub.OFI");

  FileChooser chooser(nullptr, dir.path(), start.path(), position);
  EXPECT_EQ(chooser.objectName(), "Form3");
  EXPECT_EQ(chooser.windowTitle(), "ﾌｧｲﾙを開く");
  QListWidget* list = chooser.DrawingList();
  EXPECT_EQ(list->objectName(), "List1");
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_TRUE(list->font().fixedPitch());
  EXPECT_EQ(Texts(list), (QStringList{"AAAA            ,    (A)", "bbbb            ,    (b)",
                                      "NOTE            ,    (notes-OFI)"}));
  EXPECT_TRUE(list->selectedItems().isEmpty());
  EXPECT_EQ(chooser.Folder(), dir.path());
}

TEST_F(FileChooserTest, ChoosingAddsTheSelectedNamesInListOrderWithUpperCaseExtension) {
  SaveDrawing(dir, "A.OFI", "A");
  SaveDrawing(dir, "B.OFI", "B");
  SaveDrawing(dir, "C.OFI", "C");
  SaveDrawing(dir, "D.x.ofi", "D");
  WhenShown<FileChooser>([](FileChooser& c) {
    QListWidget* list = c.DrawingList();
    list->item(3)->setSelected(true);
    list->item(1)->setSelected(true);
    list->item(0)->setSelected(true);
    Click(&c, "Command1");
  });
  std::string folder = dir.path();
  EXPECT_EQ(ChooseDrawingFiles(nullptr, folder, start.path(), position),
            (std::vector<std::string>{"A.OFI", "B.OFI", "D.OFI"}));
}

TEST_F(FileChooserTest, CancelAddsNothingButTheFolderFollowsTheTree) {
  SaveDrawing(dir, "A.OFI", "A");
  std::filesystem::create_directory(dir / "sub");
  SaveDrawing(dir, "sub/S.OFI", "S");
  std::string sub = dir / "sub";
  WhenShown<FileChooser>([sub](FileChooser& c) {
    // Pick the subfolder in the tree as a click would.
    auto* tree = c.FolderTree();
    auto* proxy = static_cast<QSortFilterProxyModel*>(tree->model());
    auto* files = static_cast<QFileSystemModel*>(proxy->sourceModel());
    QModelIndex index = proxy->mapFromSource(files->index(QString::fromStdString(sub)));
    ASSERT_TRUE(index.isValid());
    tree->setCurrentIndex(index);
    EXPECT_EQ(Texts(c.DrawingList()), QStringList{"S               ,    (S)"});
    c.DrawingList()->item(0)->setSelected(true);
    Click(&c, "Command2");
  });
  std::string folder = dir.path();
  EXPECT_TRUE(ChooseDrawingFiles(nullptr, folder, start.path(), position).empty());
  EXPECT_EQ(folder, sub);
}

TEST_F(FileChooserTest, MissingFolderOpensAtItsNearestParentWithDriveAndTreeSet) {
  std::filesystem::create_directory(dir / "kept");
  std::filesystem::create_directory(dir / "kept/inner");
  SaveDrawing(dir, "kept/K.OFI", "K");
  dir.WriteFile("kept/file-not-folder.txt", "x");
  FileChooser chooser(nullptr, dir / "kept/gone/deeper", start.path(), position);
  EXPECT_EQ(chooser.Folder(), dir / "kept");
  EXPECT_EQ(chooser.DrawingList()->count(), 1);
  QComboBox* drives = chooser.DriveList();
  EXPECT_EQ(drives->objectName(), "Drive1");
  EXPECT_EQ(drives->currentText(), VolumeOf(QString::fromStdString(dir.path())));
  for (int i = 0; i < drives->count(); ++i) EXPECT_TRUE(QFileInfo(drives->itemText(i)).isDir());

  QTreeView* tree = chooser.FolderTree();
  auto* proxy = static_cast<QSortFilterProxyModel*>(tree->model());
  auto* files = static_cast<QFileSystemModel*>(proxy->sourceModel());
  QModelIndex current = proxy->mapToSource(tree->currentIndex());
  EXPECT_EQ(files->filePath(current).toStdString(), dir / "kept");
  EXPECT_TRUE(files->filter().testFlag(QDir::Dirs));
  EXPECT_FALSE(files->filter().testFlag(QDir::Files));
}

TEST_F(FileChooserTest, OpensAtTheRememberedPositionAndRemembersWhereItClosed) {
  position = {1500, 3000};
  WhenShown<FileChooser>([](FileChooser& c) {
    EXPECT_EQ(c.pos(), PixelsAt(c, {1500, 3000}));
    c.move(c.pos() + QPoint(10, 20));
    c.close();  // the close box
  });
  std::string folder = dir.path();
  ChooseDrawingFiles(nullptr, folder, start.path(), position);
  ChooserPosition expected = MovedBy({1500, 3000}, {10, 20});
  EXPECT_EQ(position.top, expected.top);
  EXPECT_EQ(position.left, expected.left);
}

// A manual job: the chooser opens at the nearest existing folder, the job
// plots what was picked there, and a picked name that does not exist (B.C.OFI
// is handed over as B.OFI) is reported while the job goes on.
TEST_F(FileChooserTest, ManualJobPlotsTheChosenDrawings) {
  SaveDrawing(dir, "A.OFI", "FIRST");
  SaveDrawing(dir, "B.C.OFI", "SECOND");
  SaveDrawing(dir, "D.OFI", "THIRD");
  SaveDrawing(dir, "E.OFI", "NOTCHOSEN");
  PlotSettings s = PlotSettings::Defaults(start.path());
  s.OfiFile = dir / "missing";
  s.OfiFMen = "手動";
  s.OfiOut = "ﾌｧｲﾙ";
  s.OfiFEnd = "消去";
  FakeHost host(s);
  std::string shown_folder;
  host.chooser = [&](std::string& folder) -> std::optional<std::vector<std::string>> {
    WhenShown<FileChooser>([](FileChooser& c) {
      for (int row : {0, 1, 2}) c.DrawingList()->item(row)->setSelected(true);
      Click(&c, "Command1");
    });
    auto names = ChooseDrawingFiles(nullptr, folder, start.path(), position);
    shown_folder = folder;
    return names;
  };
  FakeSpooler spooler;
  JobSummary summary = PlotJob(host, &spooler, start.path()).Run();

  EXPECT_EQ(shown_folder, dir.path());
  EXPECT_EQ(summary.finished, 2);
  ASSERT_GE(host.log.size(), 3u);
  EXPECT_EQ(host.log.front(), "FIRST           ,    　出図終了");
  EXPECT_EQ(host.log[1], BlankHeaderText() + "　出図中止");
  EXPECT_NE(host.log[2].find("B.OFI"), std::string::npos) << host.log[2];
  EXPECT_EQ(host.log.back(), "THIRD           ,    　出図終了");
  EXPECT_TRUE(dir.Exists("A.GLF"));
  EXPECT_TRUE(dir.Exists("D.GLF"));
  EXPECT_FALSE(dir.Exists("A.OFI"));
  EXPECT_TRUE(dir.Exists("B.C.OFI"));
  EXPECT_TRUE(dir.Exists("E.OFI"));
  EXPECT_FALSE(dir.Exists("E.GLF"));
}

class PrinterChooserTest : public ::testing::Test {
 protected:
  FakeSpooler spooler;
  ChooserPosition position{900, 700};
};

TEST_F(PrinterChooserTest, ListsPrintersInSpoolerOrderWithNothingSelected) {
  spooler.printers = {"Zeta", "Alpha", "Plotter-With-A-Long-Queue-Name"};
  PrinterChooser chooser(nullptr, spooler, position);
  EXPECT_EQ(chooser.objectName(), "Form4");
  EXPECT_EQ(chooser.windowTitle(), "プリンター選択");
  EXPECT_EQ(Texts(chooser.PrinterList()),
            (QStringList{"Zeta", "Alpha", "Plotter-With-A-Long-Queue-Name"}));
  EXPECT_EQ(chooser.PrinterList()->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_TRUE(chooser.PrinterList()->selectedItems().isEmpty());
}

TEST_F(PrinterChooserTest, ChooseCancelAndNothingSelected) {
  WhenShown<PrinterChooser>([](PrinterChooser& c) {
    c.PrinterList()->item(1)->setSelected(true);
    Click(&c, "Command1");
  });
  EXPECT_EQ(ChoosePrinter(nullptr, spooler, position), "Plotter2");

  WhenShown<PrinterChooser>([](PrinterChooser& c) {
    c.PrinterList()->item(0)->setSelected(true);
    Click(&c, "Command2");
  });
  EXPECT_EQ(ChoosePrinter(nullptr, spooler, position), std::nullopt);

  WhenShown<PrinterChooser>([](PrinterChooser& c) { Click(&c, "Command1"); });
  EXPECT_EQ(ChoosePrinter(nullptr, spooler, position), std::nullopt);
}

TEST_F(PrinterChooserTest, NoPrinterInstalledGivesAnEmptyListAndNoChoice) {
  spooler.printers.clear();
  WhenShown<PrinterChooser>([](PrinterChooser& c) {
    EXPECT_EQ(c.PrinterList()->count(), 0);
    Click(&c, "Command1");
  });
  EXPECT_EQ(ChoosePrinter(nullptr, spooler, position), std::nullopt);
}

TEST_F(PrinterChooserTest, RemembersWhereItClosed) {
  WhenShown<PrinterChooser>([](PrinterChooser& c) {
    EXPECT_EQ(c.pos(), PixelsAt(c, {900, 700}));
    c.move(c.pos() + QPoint(-4, 6));
    c.close();
  });
  // 700 twips is no whole number of pixels at 96 dpi: it comes back as the
  // nearest pixel's twips.
  ChoosePrinter(nullptr, spooler, position);
  ChooserPosition expected = MovedBy({900, 700}, {-4, 6});
  EXPECT_EQ(position.top, expected.top);
  EXPECT_EQ(position.left, expected.left);
}

}  // namespace
}  // namespace tovrin
