// The streamed picture of a big GLF copies its labels from stamps of their
// characters (GlyphStamps) instead of laying each out with QPainter. It must
// look the same as the picture drawn the simple way: lines in the same
// pixels, labels where and as QPainter draws them.
#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "glf_text.h"
#include "preview/hpgl_parser.h"
#include "preview/preview_render.h"
#include "preview/read_ahead.h"

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
}

}  // namespace
}  // namespace tovrin::preview
