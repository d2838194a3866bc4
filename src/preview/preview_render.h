// Draws a parsed GLF with QPainter: onto any paint device, a QImage or SVG.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QTransform>

#include <functional>
#include <string_view>

#include "preview/plot_picture.h"

class QPainter;

namespace tovrin::preview {

// Which way up the sheet is shown.
enum class Frame {
  // As the drawing was made: its text reads left to right. The plotter's x
  // axis points down the page and its y axis to the right; the rotation is
  // not applied (it only says how the sheet is fed).
  Upright,
  // HP-GL/2's own view, as another interpreter shows it: plotter x to the
  // right, y up, the RO rotation applied.
  Plotter,
};

struct RenderOptions {
  Frame frame = Frame::Upright;
  bool draw_paper = true;  // the sheet from IP (and PS) as a white page
  QColor background = QColor(0xC8, 0xC8, 0xC8);
  double margin_px = 8;
  double min_pen_px = 1.0;   // thinner pens are drawn one pixel wide
  double min_text_px = 2.5;  // smaller labels become shaded boxes
  bool antialias = true;
  // Pictures with more line points than this draw their lines without
  // antialiasing: on a dense sheet it costs more than it shows.
  size_t max_antialiased_points = 1'500'000;
};

// Makes sure a QGuiApplication exists (fonts need one); without a display it
// runs on the offscreen platform. Call from the main thread.
void EnsureGuiApplication();

// The map from plotter units to `target`, fitting the sheet and the ink.
QTransform ViewTransform(const PlotPicture& picture, const QRectF& target,
                         const RenderOptions& options);

// Paints onto `painter` with the given plotter-to-device map.
void Paint(QPainter& painter, const PlotPicture& picture, const QTransform& view,
           const RenderOptions& options);

// The whole sheet fitted into an image of `size`.
QImage RenderImage(const PlotPicture& picture, QSize size, const RenderOptions& options = {});

// The whole sheet as SVG, `width_px` wide (the height follows the sheet).
QByteArray RenderSvg(const PlotPicture& picture, int width_px, const RenderOptions& options = {});

// What a first pass over a GLF finds, so that a second pass can draw it
// without ever holding its whole display list.
struct GlfSurvey {
  PlotPicture sheet;  // paper, media, rotation and pages; no items
  Box fit;            // the ink and the paper
  size_t points = 0;
  size_t items = 0;
  size_t labels = 0;
};

// Told how many input bytes are done with, so the caller can let go of them.
using ReadProgress = std::function<void(size_t read)>;

GlfSurvey SurveyGlf(std::string_view glf, const ReadProgress& progress = {});

// The image size that holds `fit` upright with its longer side `long_side`.
QSize FittedImageSize(const Box& fit, int long_side);

// The whole sheet in an image with its longer side `long_side`, drawn while
// the GLF is read, piece by piece. The view is fitted to the sheet the GLF
// starts with; only when the ink or the sheet turn out otherwise is the GLF
// read again for the right fit. Its lines are drawn plain (a GLF this big
// holds millions). `survey`, when given, receives what was found.
QImage RenderGlfImage(std::string_view glf, int long_side, const RenderOptions& options = {},
                      const ReadProgress& progress = {}, GlfSurvey* survey = nullptr);

}  // namespace tovrin::preview
