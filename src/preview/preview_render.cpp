#include "preview/preview_render.h"

#include "preview/line_raster.h"
#include "preview/render_parts.h"

#include <QBuffer>
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLineF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QSvgGenerator>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <vector>

namespace tovrin::preview {

// The plotter-to-screen map before fitting, for the chosen frame.
QTransform BaseTransform(const PlotPicture& picture, Frame frame) {
  if (frame == Frame::Upright) return QTransform(0, 1, 1, 0, 0, 0);
  const double a = picture.rotation * M_PI / 180;
  const double c = std::round(std::cos(a)), s = std::round(std::sin(a));
  return QTransform(c, -s, -s, -c, 0, 0);
}

QPolygonF BoxPolygon(const Box& b) {
  return QPolygonF(
      {QPointF(b.x0, b.y0), QPointF(b.x1, b.y0), QPointF(b.x1, b.y1), QPointF(b.x0, b.y1)});
}

void PaintPaper(QPainter& p, const PlotPicture& picture, const QTransform& view) {
  p.save();
  if (picture.media.valid) {
    QPen dashed(QColor(0x80, 0x80, 0x80), 0, Qt::DashLine);
    p.setPen(dashed);
    p.setBrush(QColor(0xF4, 0xF4, 0xF4));
    p.drawPolygon(view.map(BoxPolygon(picture.media)));
  }
  if (picture.paper.valid) {
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), 0));
    p.setBrush(Qt::white);
    p.drawPolygon(view.map(BoxPolygon(picture.paper)));
  }
  p.restore();
}

namespace {

Box FitBox(const PlotPicture& picture) {
  Box box = picture.InkBounds();
  box.Add(picture.paper);
  return box;
}

}  // namespace

void EnsureGuiApplication() {
  if (QCoreApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  // Qt wants a private runtime folder; batch runs often have none.
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    const QByteArray dir =
        QDir::tempPath().toLocal8Bit() + "/runtime-" + QByteArray::number(::getuid());
    if (::mkdir(dir.constData(), 0700) == 0 || errno == EEXIST) qputenv("XDG_RUNTIME_DIR", dir);
  }
  static int argc = 1;
  static char name[] = "tovrin";
  static char* argv[] = {name, nullptr};
  // Lives until the process ends; fonts and painters rely on it.
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  (void)app;
}

QTransform ViewTransform(const PlotPicture& picture, const QRectF& target,
                         const RenderOptions& options) {
  return FittedTransform(BaseTransform(picture, options.frame), FitBox(picture), target, options);
}

QTransform FittedTransform(const QTransform& base, const Box& box, const QRectF& target,
                           const RenderOptions& options) {
  if (!box.valid) return base;
  const QRectF r = base.map(BoxPolygon(box)).boundingRect();
  const double room_w = std::max(1.0, target.width() - 2 * options.margin_px);
  const double room_h = std::max(1.0, target.height() - 2 * options.margin_px);
  double s = std::min(r.width() > 0 ? room_w / r.width() : 1e9,
                      r.height() > 0 ? room_h / r.height() : 1e9);
  if (!std::isfinite(s) || s >= 1e9) s = 1;
  const QPointF c = r.center();
  return base * QTransform::fromScale(s, s) *
         QTransform::fromTranslate(target.center().x() - s * c.x(),
                                   target.center().y() - s * c.y());
}

namespace {

void PaintItems(QPainter& painter, const PlotPicture& picture, const QTransform& view,
                const RenderOptions& options, LineRaster* raster) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, options.antialias);
  painter.setRenderHint(QPainter::TextAntialiasing, options.antialias);
  if (options.draw_paper) PaintPaper(painter, picture, view);
  ItemPainter(painter, view, options, raster, picture.points.size()).Run(picture);
  painter.restore();
}

}  // namespace

void Paint(QPainter& painter, const PlotPicture& picture, const QTransform& view,
           const RenderOptions& options) {
  PaintItems(painter, picture, view, options, nullptr);
}

QImage RenderImage(const PlotPicture& picture, QSize size, const RenderOptions& options) {
  EnsureGuiApplication();
  QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  image.fill(options.background);
  // The pixels are taken before painting starts, so the image never detaches.
  LineRaster raster(reinterpret_cast<uint32_t*>(image.bits()), image.width(), image.height(),
                    static_cast<int>(image.bytesPerLine() / 4));
  QPainter painter(&image);
  PaintItems(painter, picture,
             ViewTransform(picture, QRectF(QPointF(0, 0), QSizeF(image.size())), options), options,
             &raster);
  painter.end();
  return image;
}

QByteArray RenderSvg(const PlotPicture& picture, int width_px, const RenderOptions& options) {
  EnsureGuiApplication();
  width_px = std::clamp(width_px, 16, 20000);
  int height_px = width_px;
  if (Box box = FitBox(picture); box.valid) {
    const QRectF r = BaseTransform(picture, options.frame).map(BoxPolygon(box)).boundingRect();
    if (r.width() > 0)
      height_px = static_cast<int>(std::clamp(width_px * r.height() / r.width(), 16.0, 20000.0));
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(QSize(width_px, height_px));
  svg.setViewBox(QRect(0, 0, width_px, height_px));
  svg.setTitle("Tovrin preview");
  QPainter painter(&svg);
  painter.fillRect(QRectF(0, 0, width_px, height_px), options.background);
  RenderOptions svg_options = options;
  svg_options.min_text_px = 0;  // SVG is zoomed: every label stays text
  Paint(painter, picture, ViewTransform(picture, QRectF(0, 0, width_px, height_px), svg_options),
        svg_options);
  painter.end();
  return bytes;
}

}  // namespace tovrin::preview
