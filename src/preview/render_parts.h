// What the renderers share: the painter of display-list items, the sheet
// under them and the view fitted to it.
#pragma once

#include <QPainter>
#include <QPolygonF>
#include <QRectF>
#include <QTransform>

#include <cstddef>
#include <memory>

#include "preview/plot_picture.h"
#include "preview/preview_render.h"

namespace tovrin::preview {

class LineRaster;

// The plotter-to-screen map before fitting, for the chosen frame.
QTransform BaseTransform(const PlotPicture& picture, Frame frame);
QPolygonF BoxPolygon(const Box& b);
// `base` scaled and moved so that `box` fills `target` within the margin.
QTransform FittedTransform(const QTransform& base, const Box& box, const QRectF& target,
                           const RenderOptions& options);
// The sheet (IP) and media (PS) as a white page.
void PaintPaper(QPainter& p, const PlotPicture& picture, const QTransform& view);

// Paints display lists with one set of fonts and one batch of lines: the
// whole drawing at once, or its pieces one Run after another.
class ItemPainter {
 public:
  // With `raster`, one-pixel lines go straight into the image's memory, and
  // with `stamp_labels` too antialiased labels (GlyphStamps): a quarter
  // pixel from where QPainter would put them, so only for pictures too big
  // to draw exactly in time. `total_points`: the line points of the whole
  // drawing.
  ItemPainter(QPainter& painter, const QTransform& view, const RenderOptions& options,
              LineRaster* raster, size_t total_points, bool stamp_labels = false);
  ~ItemPainter();
  ItemPainter(const ItemPainter&) = delete;
  ItemPainter& operator=(const ItemPainter&) = delete;

  void Run(const PlotPicture& picture);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tovrin::preview
