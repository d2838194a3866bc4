// Pictures of the two chooser windows for review; runs only when
// TOVRIN_SHOT_DIR names a folder (scripts/screenshot-windows.sh sets it).
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPixmap>
#include <QTreeView>
#include <cstdlib>
#include <filesystem>

#include "fakes.h"
#include "ofi_builder.h"
#include "platform/cp932.h"
#include "screenshot.h"
#include "temp_folder.h"
#include "ui/file_chooser.h"
#include "ui/printer_chooser.h"

namespace tovrin {
namespace {

using test::Save;
using test::Settle;

TEST(ChooserScreenshots, Capture) {
  const char* out = std::getenv("TOVRIN_SHOT_DIR");
  if (!out || !*out) GTEST_SKIP() << "TOVRIN_SHOT_DIR not set";

  test::TempFolder start, dir;
  struct Sample {
    const char* file;
    const char* header;
  };
  for (const Sample& s : {Sample{"A-1001.OFI", "ZU-1001 軸受台  ,R01 "},
                          Sample{"A-1002.OFI", "ZU-1002 歯車箱  ,R03 "},
                          Sample{"B-2001.ofi", "BU-2001 ﾌﾗﾝｼﾞ   ,R00 "},
                          Sample{"plan.x.OFI", "        配置図  ,    "}}) {
    std::string header = ToCp932Lossy(s.header);
    header.erase(16, 1);  // the "," is the viewer's, not the file's
    test::OfiBuilder b;
    b.Header(header).End();
    b.Save(dir / s.file);
  }
  std::filesystem::create_directory(dir / "archive");
  std::filesystem::create_directory(dir / "old");

  FileChooser files(nullptr, dir.path(), start.path(), ChooserPosition{});
  files.DrawingList()->item(0)->setSelected(true);
  files.DrawingList()->item(2)->setSelected(true);
  std::string form3 = std::string(out) + "/form3-file-chooser.png";
  EXPECT_TRUE(Save(files, form3)) << form3;

  test::FakeSpooler spooler;
  spooler.printers = {"HP-DesignJet-T830", "Plotter-A0", "Office-Laser"};
  PrinterChooser printers(nullptr, spooler, ChooserPosition{});
  std::string form4 = std::string(out) + "/form4-printer-chooser.png";
  EXPECT_TRUE(Save(printers, form4)) << form4;
}

}  // namespace
}  // namespace tovrin
