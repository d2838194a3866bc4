// The geometry of translated drawings against hp2xx, an independent HP-GL
// interpreter: solid lines, polylines, arcs and circles must agree.
#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <fstream>

#include "ink.h"
#include "preview/hpgl_parser.h"
#include "preview/preview_render.h"
#include "settings/plot_settings.h"
#include "temp_folder.h"
#include "translate.h"

namespace tovrin::preview {
namespace {

using tovrin::test::OfiBuilder;

constexpr int kCompareWidth = 800;
constexpr int kGrowRadius = 3;

bool HaveHp2xx() { return std::system("command -v hp2xx >/dev/null 2>&1") == 0; }

// A flange: frame, outline polyline, bore, bolt circle holes, rounded corners.
OfiBuilder Flange() {
  OfiBuilder b;
  b.Scale(10).DashUnit(100).Copies(1).SheetRecord(29700, 21000, 29700, 21000);
  b.LineClass(2).Polyline({1000, 1000, 1000, 20000, 28700, 20000, 28700, 1000, 1000, 1000});
  b.LineClass(0).Polyline({5000, 4000, 5000, 17000, 12000, 17000, 12000, 4000});
  b.Arc(12000, 4000, 13500, 10500, 12000, 17000);
  b.Arc(8500, 7000, 11000, 10500, 8500, 7000);  // bore, a full circle
  for (int y : {5500, 15500}) b.Arc(7000, y, 7600, y, 7000, y);
  b.LineClass(1).Line(16000, 4000, 27000, 4000).Line(16000, 4000, 16000, 17000);
  b.Polyline({18000, 6000, 22000, 15000, 26000, 6000, 18000, 6000});
  b.Arc(20000, 17000, 24000, 19000, 26000, 15000);
  return b.End();
}

// An A3 sheet of arcs in every quarter and a zig-zag.
OfiBuilder Arcs() {
  OfiBuilder b;
  b.Scale(10).DashUnit(100).Copies(1).SheetRecord(42000, 29700, 42000, 29700);
  b.LineClass(0).Polyline({2000, 2000, 2000, 27000, 40000, 27000, 40000, 2000, 2000, 2000});
  for (int i = 0; i < 4; ++i) {
    const int cx = 8000 + i * 8000, cy = 14000;
    b.Arc(cx + 3000, cy, cx, cy + 3000 + i * 500, cx - 3000, cy);
    b.Arc(cx, cy - 2000, cx + 1000, cy - 3000, cx, cy - 4000);
  }
  b.Polyline({4000, 22000, 9000, 25000, 14000, 22000, 19000, 25000, 24000, 22000, 29000, 25000});
  return b.End();
}

// Ink of `image` cropped to its bounding box and scaled to `size`; any
// darkening left by the averaging counts as ink, so thin lines survive.
QImage Normalised(const QImage& image, QSize size) {
  const QRect ink = test::InkBox(image, image.rect());
  QImage scaled = image.copy(ink).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  scaled = scaled.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < scaled.height(); ++y)
    for (int x = 0; x < scaled.width(); ++x)
      scaled.setPixel(x, y, qGray(scaled.pixel(x, y)) < 230 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
  return scaled;
}

void CompareWithHp2xx(const OfiBuilder& ofi, const std::string& name) {
  const std::string glf = tovrin::test::Translate(PlotSettings::Defaults("/tmp"), ofi).glf;
  tovrin::test::TempFolder dir;
  const std::string glf_path = dir.path() + "/" + name + ".glf",
                    png_path = dir.path() + "/" + name + ".png";
  std::ofstream(glf_path, std::ios::binary) << glf;
  const std::string command =
      "hp2xx -q -m png -d 150 -f " + png_path + " " + glf_path + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  QImage theirs(QString::fromStdString(png_path));
  ASSERT_FALSE(theirs.isNull());
  theirs = theirs.convertToFormat(QImage::Format_RGB32);

  RenderOptions options;
  options.frame = Frame::Plotter;
  options.draw_paper = false;
  options.background = Qt::white;
  options.antialias = false;
  const PlotPicture picture = ParseGlf(glf);
  const QImage ours = RenderImage(picture, theirs.size(), options);

  const QRect their_ink = test::InkBox(theirs, theirs.rect()),
              our_ink = test::InkBox(ours, ours.rect());
  ASSERT_FALSE(their_ink.isEmpty());
  ASSERT_FALSE(our_ink.isEmpty());
  // Same sheet: the inked areas have the same shape.
  EXPECT_NEAR(double(our_ink.width()) / our_ink.height(),
              double(their_ink.width()) / their_ink.height(), 0.03);
  const QSize size(kCompareWidth, kCompareWidth * their_ink.height() / their_ink.width());
  const QImage a = Normalised(theirs, size), b = Normalised(ours, size);
  const double ours_on_theirs = test::Coverage(b, test::GrownMask(a, kGrowRadius));
  const double theirs_on_ours = test::Coverage(a, test::GrownMask(b, kGrowRadius));
  EXPECT_GE(theirs_on_ours, 0.9);
  EXPECT_GE(ours_on_theirs, 0.9);
  ::testing::Test::RecordProperty(name + "_theirs_on_ours", std::to_string(theirs_on_ours));
  ::testing::Test::RecordProperty(name + "_ours_on_theirs", std::to_string(ours_on_theirs));
}

TEST(PreviewAgainstHp2xx, SolidLinesPolylinesArcsAndCircles) {
  if (!HaveHp2xx()) GTEST_SKIP() << "hp2xx is not installed (scripts/install-deps.sh installs it)";
  CompareWithHp2xx(Flange(), "flange");
  CompareWithHp2xx(Arcs(), "arcs");
}

}  // namespace
}  // namespace tovrin::preview
