// The streamed picture of a big GLF copies its labels from stamps of their
// characters (GlyphStamps) instead of laying each out with QPainter. It must
// look the same as the picture drawn the simple way: lines in the same
// pixels, labels where and as QPainter draws them.
#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "glf_text.h"
#include "preview/hpgl_parser.h"
#include "preview/line_raster.h"
#include "preview/preview_render.h"
#include "preview/read_ahead.h"
#include "thread_limit.h"

namespace tovrin::preview {
namespace {

using namespace test;

// Labels of every kind a drawing has (sizes, turns, slants, faces, pens),
// each kind in a cell of a grid over an A4 sheet, four times a little apart
// so that they fall on different fractions of a pixel, crossed by strokes.
std::string LabelSheet() {
  std::string glf = A4Sheet() + "PC1,0,0,0;PC2,200,0,0;PC3,0,0,180;";
  const char* sizes[] = {"SI0.35,0.5", "SI0.2,0.3", "SI0.6,0.9"};
  const char* turns[] = {"DI0,1", "DI1,0", "DI1,1", "DI0,-1"};
  const char* slants[] = {"SL0", "SL0.3"};
  int cell = 0;
  for (const char* size : sizes)
    for (const char* turn : turns)
      for (const char* slant : slants) {
        const int x = 700 + cell % 6 * 1300, y = 1500 + cell / 6 * 2800;
        for (int k = 0; k < 4; ++k) {
          const int kx = x + k * 290, ky = y + k * 613;
          glf += "SP" + std::to_string(1 + (cell + k) % 3) + ";" + turn + ";" + slant + ";SS" +
                 size + "LM0SD1,11,6,2;" + MoveTo(kx, ky) + "LBA-12 BOLT\\" + kEtx;
          glf += "SD1,43,6,2;" + MoveTo(kx + 100, ky + 300) + "LB\x31\x32" + kEtx;
          glf += "LM1" + MoveTo(kx - 150, ky + 450) + "LB\x34\x41\x3F\x5E" + kNulEtx + "LM0;";
          glf += "PE<=" + Encoded({kx - 100, ky - 50}) + Encoded({900, 350}) + ";";
        }
        ++cell;
      }
  return glf + kTrailer;
}

struct Difference {
  int changed = 0;    // pixels not the same
  int far_apart = 0;  // pixels more than a quarter of the range apart
  int most = 0;       // the largest difference of a channel
};

Difference Compare(const QImage& a, const QImage& b) {
  Difference d;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      if (p == q) continue;
      const int most = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                 std::abs(qBlue(p) - qBlue(q))});
      ++d.changed;
      d.far_apart += most > 64;
      d.most = std::max(d.most, most);
    }
  return d;
}

int InkPixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += qGray(image.pixel(x, y)) < 128;
  return n;
}

TEST(StreamedPicture, StampedLabelsLookAsQPainterDrawsThem) {
  const std::string glf = LabelSheet();
  const PlotPicture held = ParseGlf(glf);
  ASSERT_GT(held.labels.size(), 500u);
  RenderOptions options;
  Box fit = held.InkBounds();
  fit.Add(held.paper);
  RenderOptions simple = options;
  simple.max_antialiased_points = 0;  // plain lines, as the streamed picture draws them
  const QImage whole = RenderImage(held, FittedImageSize(fit, 1400), simple);
  const QImage streamed = RenderGlfImage(glf, 1400, options);
  ASSERT_EQ(streamed.size(), whole.size());
  if (const char* dump = std::getenv("TOVRIN_DUMP_PICTURES")) {
    whole.save(QString(dump) + "/whole.png");
    streamed.save(QString(dump) + "/streamed.png");
  }
  // Only the edges of some glyphs differ, and only by rounding: a glyph out
  // of place would leave whole pixels apart.
  const Difference d = Compare(streamed, whole);
  const int ink = InkPixels(whole);
  EXPECT_NEAR(InkPixels(streamed), ink, ink / 100);
  EXPECT_LT(d.changed, ink / 10);
  EXPECT_LT(d.far_apart, ink / 1000);
  EXPECT_LT(d.most, 128);
}

// A plain line the simple way: along its major axis, the pixel nearest the
// line in each column, pixel centres at half coordinates.
void ReferenceLine(QImage& image, QLineF line, QRgb colour) {
  double ax = line.x1() - 0.5, ay = line.y1() - 0.5, bx = line.x2() - 0.5, by = line.y2() - 0.5;
  const bool steep = std::abs(by - ay) > std::abs(bx - ax);
  if (steep) std::swap(ax, ay), std::swap(bx, by);
  if (ax > bx) std::swap(ax, bx), std::swap(ay, by);
  const double slope = bx > ax ? (by - ay) / (bx - ax) : 0;
  for (int i = static_cast<int>(std::floor(ax + 0.5)); i <= std::floor(bx + 0.5); ++i) {
    const int j = static_cast<int>(std::floor(ay + slope * (i - ax) + 0.5));
    const int x = steep ? j : i, y = steep ? i : j;
    if (image.rect().contains(x, y)) image.setPixel(x, y, colour | 0xFF000000u);
  }
}

TEST(StreamedPicture, PlainLinesSetThePixelsNearestTheLine) {
  QImage drawn(301, 207, QImage::Format_RGB32), expected(drawn.size(), QImage::Format_RGB32);
  drawn.fill(Qt::white);
  expected.fill(Qt::white);
  LineRaster raster(reinterpret_cast<uint32_t*>(drawn.bits()), drawn.width(), drawn.height(),
                    static_cast<int>(drawn.bytesPerLine() / 4));
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> at(10, 290), step(-40, 40);
  for (int n = 0; n < 3000; ++n) {  // short and long, every way; clipping aside
    const QPointF a(at(rng), at(rng) * 0.7), d = QPointF(step(rng), step(rng)) * (n % 5 ? 1 : 6);
    const QLineF line(
        a, QPointF(std::clamp(a.x() + d.x(), 0.0, 300.0), std::clamp(a.y() + d.y(), 0.0, 206.0)));
    const QRgb colour = n % 2 ? 0x204080 : 0xC03000;
    raster.Draw(line, colour, false);
    ReferenceLine(expected, line, colour);
  }
  EXPECT_TRUE(drawn == expected);
}

// What a reader of pieces sees of each: enough to tell two apart.
struct PieceSummary {
  size_t read, items, points, labels, styles;
  float first_x, last_y;
  bool operator==(const PieceSummary&) const = default;
};

std::vector<PieceSummary> Summaries(void (*stream)(std::string_view, const PictureSink&),
                                    std::string_view glf) {
  std::vector<PieceSummary> out;
  stream(glf, [&](const PlotPicture& p, size_t read) {
    out.push_back({read, p.items.size(), p.points.size(), p.labels.size(), p.styles.size(),
                   p.points.empty() ? 0 : p.points.front().x,
                   p.points.empty() ? 0 : p.points.back().y});
  });
  return out;
}

// Enough strokes, labels and pens for several pieces.
std::string ManyPieces() {
  std::string glf = A4Sheet() + "DI0,1;SSSI0.35,0.5LM0;";
  for (int i = 0; i < 150000; ++i) {
    glf += "SP" + std::to_string(1 + i % 4) + "PE<=" + Encoded({i % 8000, i % 11000}) +
           Encoded({40, 25, 10, -30}) + ";";
    if (i % 7 == 0) glf += "LBX" + kEtx;
  }
  return glf + kTrailer;
}

TEST(StreamedPicture, ReadingAheadHandsOnWhatStreamGlfReads) {
  const std::string glf = ManyPieces();
  const auto direct =
      Summaries([](std::string_view g, const PictureSink& s) { StreamGlf(g, s); }, glf);
  ASSERT_GE(direct.size(), 3u);
  EXPECT_EQ(Summaries(&StreamGlfAhead, glf), direct);
  // A sink that gives up stops the reading too, and its error comes out.
  int pieces = 0;
  EXPECT_THROW(StreamGlfAhead(glf,
                              [&](const PlotPicture&, size_t) {
                                if (++pieces == 2) throw std::runtime_error("disk full");
                              }),
               std::runtime_error);
  EXPECT_EQ(pieces, 2);
  // No thread to spare: the same pieces, read and drawn in turn.
  const int status = tovrin::test::RunWithoutThreads(
      [&] { return Summaries(&StreamGlfAhead, glf) == direct ? 0 : 1; });
  if (status == tovrin::test::kNoThreadLimitHere)
    GTEST_SKIP() << "no task limit can be set up here";
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace tovrin::preview
