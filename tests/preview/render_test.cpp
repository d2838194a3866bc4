#include "preview/preview_render.h"

#include <gtest/gtest.h>

#include <QPainter>

#include "glf_text.h"
#include "ink.h"
#include "preview/hpgl_parser.h"

namespace tovrin::preview {
namespace {

using namespace test;

RenderOptions Plain(Frame frame = Frame::Upright) {
  RenderOptions o;
  o.frame = frame;
  o.draw_paper = false;
  o.background = Qt::white;
  o.antialias = false;  // whole pixels: ink is ink
  return o;
}

// The character body of a label in device pixels.
QRectF BodyBox(const Label& l, const QTransform& view) {
  const double dx = std::cos(l.direction), dy = std::sin(l.direction);
  const QPointF o(l.origin.x, l.origin.y), along(l.width * dx, l.width * dy),
      up(-l.height * dy, l.height * dx);
  return view.map(QPolygonF({o, o + along, o + along + up, o + up})).boundingRect();
}

TEST(PreviewRender, LabelsSitWhereAndAsLargeAsTheGlfSays) {
  // 0.5 x 0.7 cm characters: ASCII, half-width katakana, kanji, and an
  // ASCII one turned to run along plotter +x.
  const std::string glf = A4Sheet() + "DI0.0,1.0;SSSI0.5,0.7LM0SD1,4,6,2;" + MoveTo(2000, 2000) +
                          "LBH" + kEtx + "SD1,43,6,2;" + MoveTo(2000, 4000) + "LB\x31" + kEtx +
                          "SADV0SI0.5,0.7LM1" + MoveTo(2000, 6000) + "LB\x34\x41" + kNulEtx +
                          ";DI1.0,0.0;SSSI0.5,0.7LM0SD1,4,6,2;" + MoveTo(5000, 8000) + "LBH" +
                          kEtx + kTrailer;
  const PlotPicture p = ParseGlf(glf);
  ASSERT_EQ(p.labels.size(), 4u);
  const QSize size(1414, 1000);
  const QImage image = RenderImage(p, size, Plain());
  const QTransform view = ViewTransform(p, QRectF(QPointF(0, 0), QSizeF(size)), Plain());
  for (const Label& l : p.labels) {
    SCOPED_TRACE(l.text);
    const QRectF body = BodyBox(l, view);
    const double slack = 0.12 * std::max(body.width(), body.height());
    const QRect ink = InkBox(
        image, body.adjusted(-body.width(), -body.height(), body.width(), body.height()).toRect());
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_TRUE(body.adjusted(-slack, -slack, slack, slack).contains(QRectF(ink)))
        << "body " << body.x() << "," << body.y() << " " << body.width() << "x" << body.height()
        << " ink " << ink.x() << "," << ink.y() << " " << ink.width() << "x" << ink.height();
    // The glyph fills its body across the line of text and most of it along.
    const bool runs_across_screen = std::abs(std::sin(l.direction)) > 0.5;
    const double ink_along = runs_across_screen ? ink.width() : ink.height();
    const double ink_up = runs_across_screen ? ink.height() : ink.width();
    const double body_along = runs_across_screen ? body.width() : body.height();
    const double body_up = runs_across_screen ? body.height() : body.width();
    EXPECT_GT(ink_up, 0.8 * body_up);
    EXPECT_GT(ink_along, 0.5 * body_along);
  }
}

TEST(PreviewRender, FramesTurnTheSheet) {
  // One line along plotter +x on A4 portrait.
  const std::string line = MoveTo(0, 0) + "PE" + Encoded({8400, 0}) + ";" + kTrailer;
  auto ink = [&](const std::string& rotation, Frame frame) {
    const QImage image =
        RenderImage(ParseGlf(A4Sheet(rotation) + line), QSize(500, 500), Plain(frame));
    return InkBox(image, image.rect());
  };
  const QRect upright = ink("0", Frame::Upright), plotter = ink("0", Frame::Plotter);
  const QRect turned = ink("90", Frame::Plotter);
  EXPECT_GT(upright.height(), 10 * upright.width());  // plotter x runs down the page
  EXPECT_GT(plotter.width(), 10 * plotter.height());  // HP-GL/2's own x to the right
  EXPECT_GT(turned.height(), 10 * turned.width());    // RO90 turns it upright
}

TEST(PreviewRender, DashedLinesHaveGapsAndSolidLinesNone) {
  auto runs = [](const std::string& line_type) {
    const std::string glf =
        A4Sheet() + line_type + MoveTo(0, 0) + "PE" + Encoded({0, 11880}) + ";" + kTrailer;
    const QImage image = RenderImage(ParseGlf(glf), QSize(1000, 720), Plain());
    const QRect ink = InkBox(image, image.rect());
    int changes = 0;
    bool last = true;
    for (int x = ink.left(); x <= ink.right(); ++x) {
      const bool on = Inked(image, x, ink.center().y());
      changes += on != last;
      last = on;
    }
    return changes;
  };
  EXPECT_EQ(runs("LT;"), 0);
  // 1 % of the 14549-unit diagonal per cycle: about 80 dashes on the line.
  EXPECT_GT(runs("LT2,1.0;"), 100);
}

TEST(PreviewRender, FilledPolygonsAreSolidInside) {
  const std::string glf = A4Sheet() + MoveTo(1000, 1000) + "PM0PE=" + Encoded({7000, 1000}) +
                          ";PE=" + Encoded({7000, 10000}) + ";PE=" + Encoded({1000, 10000}) +
                          ";PM2FPEP" + kTrailer;
  const PlotPicture p = ParseGlf(glf);
  const QImage image = RenderImage(p, QSize(700, 500), Plain());
  const QTransform view = ViewTransform(p, QRectF(0, 0, 700, 500), Plain());
  const QPoint inside = view.map(QPointF(4000, 5500)).toPoint();
  const QPoint outside = view.map(QPointF(500, 500)).toPoint();
  EXPECT_TRUE(Inked(image, inside.x(), inside.y()));
  EXPECT_FALSE(Inked(image, outside.x(), outside.y()));
}

TEST(PreviewRender, SvgHoldsTheDrawingAndItsText) {
  const std::string glf = A4Sheet() + "SSSI0.5,0.7LM0" + MoveTo(100, 100) + "LBQ" + kEtx + "PE" +
                          Encoded({1000, 1000}) + ";" + kTrailer;
  const QByteArray svg = RenderSvg(ParseGlf(glf), 800);
  EXPECT_TRUE(svg.contains("<svg"));
  EXPECT_TRUE(svg.contains(">Q<"));
  EXPECT_TRUE(svg.contains("</svg>"));
}

TEST(PreviewRender, EmptyAndDegeneratePicturesStillRender) {
  for (const std::string& glf :
       {std::string(), std::string("IP0,0,0,0SC0,0,0,0"), A4Sheet() + "CI0"}) {
    const QImage image = RenderImage(ParseGlf(glf), QSize(64, 48));
    EXPECT_EQ(image.size(), QSize(64, 48));
  }
}

}  // namespace
}  // namespace tovrin::preview
