// Previews of drawings too big to hold whole: the PNG is still made, the SVG
// is skipped with a note for the log, the streamed picture is the held one,
// and a display list that reaches its limit says so.
#include "preview/glf_preview.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <filesystem>
#include <random>
#include <vector>

#include "glf_text.h"
#include "ink.h"
#include "preview/hpgl_parser.h"
#include "preview/preview_render.h"
#include "preview/preview_texts.h"
#include "temp_folder.h"

namespace tovrin::preview {
namespace {

using namespace test;
using tovrin::test::TempFolder;

// `strokes` short strokes scattered over an A4 sheet (two points each),
// reaching `beyond` plotter units past its long edge.
std::string Strokes(size_t strokes, int beyond = 0) {
  std::mt19937 rng(5);
  std::vector<std::string> some;  // repeated: making millions one by one takes long
  for (size_t i = 0; i < std::min<size_t>(strokes, 10000); ++i)
    some.push_back("PE<=" +
                   Encoded({100 + static_cast<int64_t>(rng() % 8000),
                            100 + static_cast<int64_t>(rng() % 11000)}) +
                   Encoded({40, 25}) + ";");
  std::string glf = A4Sheet();
  for (size_t i = 0; i < strokes; ++i) glf += some[i % some.size()];
  if (beyond > 0) glf += "PE<=" + Encoded({4000, 11880 + beyond}) + Encoded({300, 0}) + ";";
  return glf + kTrailer;
}

// A little of everything a drawing has: strokes, an area, labels.
std::string Mixed(int beyond = 0) {
  std::string glf = A4Sheet() + "PE<=" + Encoded({1000, 1000}) + Encoded({3000, 500}) +
                    Encoded({-1000, 2500}) + ";" + "PE<=" + Encoded({5000, 5000}) +
                    ";PM0PE=" + Encoded({6000, 5000}) + ";PE=" + Encoded({6000, 6500}) +
                    ";PE=" + Encoded({5000, 6500}) + ";PM2FP" +
                    "DI0.0,1.0;SSSI0.5,0.7LM0SD1,4,6,2;" + MoveTo(2000, 8000) + "LBHOLE" + kEtx;
  if (beyond > 0) glf += "PE<=" + Encoded({-beyond, 3000}) + Encoded({beyond + 500, 200}) + ";";
  return glf + kTrailer;
}

bool Exists(const TempFolder& folder, const std::string& name) {
  return std::filesystem::exists(folder / name);
}

TEST(PreviewLimits, AGlfTooBigToHoldGetsItsPngAndANoteInsteadOfTheSvg) {
  TempFolder folder;
  const std::string glf = Strokes(1'400'000);
  ASSERT_GT(glf.size(), kWholePictureGlfBytes);
  folder.WriteFile("BIG.GLF", glf);
  std::string error;
  PreviewOutcome outcome;
  ASSERT_TRUE(WritePreviewFilesFor(folder / "BIG.GLF", folder / "pv", "BIG", error, &outcome))
      << error;
  const QImage png(QString::fromStdString(folder / "pv/BIG.png"));
  ASSERT_FALSE(png.isNull());
  EXPECT_EQ(std::max(png.width(), png.height()), kPreviewLongSide);
  EXPECT_FALSE(InkBox(png, png.rect()).isEmpty());
  EXPECT_FALSE(Exists(folder, "pv/BIG.svg"));
  EXPECT_FALSE(outcome.svg_written);
  EXPECT_FALSE(outcome.simplified);
  EXPECT_NE(outcome.note.find("BIG.svg"), std::string::npos) << outcome.note;
  EXPECT_NE(outcome.note.find(texts::kGlfTooBig), std::string::npos) << outcome.note;
}

TEST(PreviewLimits, OnlyTheSvgOfADensePictureIsSkipped) {
  TempFolder folder;
  std::string error;
  PreviewOutcome dense;
  ASSERT_TRUE(
      WritePreviewFiles(Strokes(kMaxSvgPoints / 2 + 1), folder.path(), "DENSE", error, &dense))
      << error;
  EXPECT_TRUE(Exists(folder, "DENSE.png"));
  EXPECT_FALSE(Exists(folder, "DENSE.svg"));
  EXPECT_NE(dense.note.find(texts::kPictureTooBig), std::string::npos) << dense.note;

  PreviewOutcome normal;
  ASSERT_TRUE(
      WritePreviewFiles(Strokes(kMaxSvgPoints / 2 - 1), folder.path(), "NORMAL", error, &normal))
      << error;
  EXPECT_TRUE(Exists(folder, "NORMAL.png"));
  EXPECT_TRUE(Exists(folder, "NORMAL.svg"));
  EXPECT_TRUE(normal.svg_written);
  EXPECT_TRUE(normal.note.empty()) << normal.note;
}

TEST(PreviewLimits, TheStreamedPictureIsTheHeldOne) {
  RenderOptions options;
  options.antialias = false;  // the streamed picture always draws its lines plain
  // On the sheet: one pass; past it: the first guess at the fit is wrong.
  for (int beyond : {0, 3000}) {
    SCOPED_TRACE(beyond);
    for (const std::string& glf : {Mixed(beyond), Strokes(3000, beyond)}) {
      const PlotPicture held = ParseGlf(glf);
      Box fit = held.InkBounds();
      fit.Add(held.paper);
      const QImage whole = RenderImage(held, FittedImageSize(fit, 600), options);
      GlfSurvey survey;
      const QImage streamed = RenderGlfImage(glf, 600, options, {}, &survey);
      EXPECT_EQ(survey.items, held.items.size());
      EXPECT_EQ(survey.points, held.points.size());
      ASSERT_EQ(streamed.size(), whole.size());
      EXPECT_TRUE(streamed == whole);
    }
  }
}

TEST(PreviewLimits, PiecesSplitTheDisplayListAndTellHowFarTheyRead) {
  const std::string glf = Strokes(1000);
  size_t pieces = 0, items = 0, last_read = 0;
  StreamGlf(
      glf,
      [&](const PlotPicture& piece, size_t read) {
        ++pieces;
        items += piece.items.size();
        EXPECT_LE(piece.items.size(), 100u);
        for (const Item& item : piece.items)
          EXPECT_LE(item.first + item.count, piece.points.size());
        EXPECT_GE(read, last_read);
        last_read = read;
      },
      100);
  EXPECT_EQ(items, 1000u);
  EXPECT_GE(pieces, 10u);
  EXPECT_EQ(last_read, glf.size());
}

TEST(PreviewLimits, ADisplayListAtItsItemLimitIsMarkedSimplified) {
  ParseLimits limits;
  limits.max_items = 10;
  const PlotPicture capped = ParseGlf(Strokes(100), limits);
  EXPECT_EQ(capped.items.size(), 10u);
  EXPECT_TRUE(capped.truncated);
  EXPECT_FALSE(ParseGlf(Strokes(100)).truncated);
}

TEST(PreviewLimits, ZoomedPaintingStillDrawsWhatCrossesTheView) {
  // A long stroke whose ends both lie far outside a zoomed view, and one
  // wholly outside it.
  const std::string glf = A4Sheet() + "PE<=" + Encoded({4000, 0}) + Encoded({0, 11880}) +
                          ";PE<=" + Encoded({8000, 0}) + Encoded({0, 500}) + ";" + kTrailer;
  EnsureGuiApplication();
  const PlotPicture p = ParseGlf(glf);
  RenderOptions options;
  options.antialias = false;
  options.draw_paper = false;
  options.background = Qt::white;
  QImage image(200, 200, QImage::Format_RGB32);
  image.fill(Qt::white);
  const QTransform fit = ViewTransform(p, QRectF(0, 0, 200, 200), options);
  // Zoomed 40 times about the stroke's middle.
  const QPointF middle = fit.map(QPointF(4000, 5940));
  const QTransform zoomed = fit * QTransform::fromTranslate(-middle.x(), -middle.y()) *
                            QTransform::fromScale(40, 40) * QTransform::fromTranslate(100, 100);
  QPainter painter(&image);
  Paint(painter, p, zoomed, options);
  painter.end();
  const QRect ink = InkBox(image, image.rect());
  ASSERT_FALSE(ink.isEmpty());
  EXPECT_TRUE(ink.width() > 150 || ink.height() > 150);
}

}  // namespace
}  // namespace tovrin::preview
