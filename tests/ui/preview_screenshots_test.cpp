// Pictures of the preview window and of the file chooser with its preview
// pane, drawn from the sample drawings; runs only when TOVRIN_SHOT_DIR names
// a folder (scripts/screenshot-windows.sh sets it).
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "screenshot.h"
#include "temp_folder.h"
#include "ui/chooser_preview.h"
#include "ui/file_chooser.h"
#include "ui/preview_window.h"

namespace tovrin {
namespace {

const std::filesystem::path kExamples =
    std::filesystem::path(__FILE__).parent_path() / "../../examples";

using test::Save;
using test::Settle;

TEST(PreviewScreenshots, Capture) {
  const char* out = std::getenv("TOVRIN_SHOT_DIR");
  if (!out || !*out) GTEST_SKIP() << "TOVRIN_SHOT_DIR not set";
  test::TempFolder start, dir;
  for (const char* name : {"BRACKET.OFI", "FLANGE.OFI", "SHAFT.OFI"})
    std::filesystem::copy_file(kExamples / name, dir / name);

  PreviewTranslation flange =
      TranslateForPreview(dir / "FLANGE.OFI", PlotSettings::Defaults(start.path()));
  ASSERT_FALSE(flange.glf.empty()) << flange.problem;
  PreviewWindow window("FLANGE.OFI", flange.glf, 1);
  window.setAttribute(Qt::WA_DeleteOnClose, false);
  std::string whole = std::string(out) + "/preview-window.png";
  EXPECT_TRUE(Save(window, whole)) << whole;
  PlotView* view = window.View();
  view->ZoomAt(QPointF(view->width() * 0.8, view->height() * 0.13), 3);  // the title block
  std::string zoomed = std::string(out) + "/preview-window-zoomed.png";
  EXPECT_TRUE(Save(window, zoomed)) << zoomed;

  FileChooser files(nullptr, dir.path(), start.path(), ChooserPosition{});
  files.DrawingList()->setCurrentRow(1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !files.PreviewPane()->Shown().empty(); }, 5000));
  std::string form3 = std::string(out) + "/form3-file-chooser-preview.png";
  EXPECT_TRUE(Save(files, form3)) << form3;
}

}  // namespace
}  // namespace tovrin
