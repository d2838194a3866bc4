#include "preview/render_parts.h"

#include "preview/glyph_stamps.h"
#include "preview/line_raster.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLineF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace tovrin::preview {
namespace {

constexpr double kUnitsPerMm = 40.0;
constexpr double kReferencePx = 100.0;     // fonts are measured at this size
constexpr double kMinPatternPx = 4.0;      // finer dash patterns look solid
constexpr size_t kDashBudget = 4'000'000;  // dash pieces per paint

// HP-GL/2 fixed line types, in percent of the pattern length: on, off, on...
const std::vector<double>& LineTypeElements(int type) {
  static const std::array<std::vector<double>, 9> kTypes = {{
      {},
      {0, 100},
      {50, 50},
      {70, 30},
      {80, 10, 0, 10},
      {70, 10, 10, 10},
      {50, 10, 10, 10, 10, 10},
      {70, 10, 0, 10, 0, 10},
      {50, 10, 0, 10, 10, 10, 0, 10},
  }};
  return kTypes[type >= 0 && type <= 8 ? type : 0];
}

QColor Colour(uint32_t rgb) {
  return QColor::fromRgb(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF);
}

// A font and where its character body lies, measured once per paint.
struct Face {
  QFont font;
  double advance = 1;   // reference advance that spans the body width
  double body = 1;      // reference height that spans the body height
  double baseline = 0;  // reference distance from the body bottom up to the baseline
};

Face MakeFace(const QString& family, bool fixed, QChar sample, bool em_body) {
  Face f;
  f.font = QFont(family);
  f.font.setPixelSize(static_cast<int>(kReferencePx));
  if (fixed) {
    f.font.setStyleHint(QFont::Monospace);
    f.font.setFixedPitch(true);
  }
  f.font.setHintingPreference(QFont::PreferNoHinting);
  QFontMetricsF m(f.font);
  f.advance = std::max(1.0, m.horizontalAdvance(sample));
  if (em_body) {
    f.body = std::max(1.0, m.ascent() + m.descent());
    f.baseline = m.descent();
  } else {
    f.body = std::max(1.0, m.capHeight());
  }
  return f;
}

class Painter {
 public:
  // With `raster`, one-pixel lines go straight into the image's memory.
  // `total_points`: the line points of the whole drawing, which may come in
  // pieces (one Run each).
  Painter(QPainter& painter, const QTransform& view, const RenderOptions& options,
          LineRaster* raster, size_t total_points, bool stamp_labels)
      : p_(painter),
        view_(view),
        opt_(options),
        raster_(raster),
        scale_(std::sqrt(std::abs(view.determinant()))),
        smooth_lines_(options.antialias && total_points <= options.max_antialiased_points),
        clip_(DeviceRect(painter)) {
    faces_[0] = MakeFace("DejaVu Sans Mono", true, QChar('M'), false);
    faces_[1] = MakeFace("IPAGothic", true, QChar(0xFF71), false);
    faces_[2] = MakeFace("IPAGothic", false, QChar(0x6F22), true);
    // Stamps are antialiased; plain text would shift by whole pixels.
    if (raster && stamp_labels && options.antialias) stamps_.emplace(*raster);
  }

  // Paints the items of `picture` (the whole drawing or one piece of it).
  void Run(const PlotPicture& picture) {
    pic_ = &picture;
    for (const Item& item : pic_->items) {
      switch (item.kind) {
        case Item::Kind::Polyline: Polyline(item); break;
        case Item::Kind::Polygon:
          Flush();
          Polygon(item);
          break;
        case Item::Kind::Label:
          Flush();
          LabelItem(pic_->labels[item.first]);
          break;
      }
    }
    Flush();
  }

 private:
  // The view is affine; QTransform::map would test its type for every point.
  QPointF Map(const Point& pt) const {
    return {view_.m11() * pt.x + view_.m21() * pt.y + view_.dx(),
            view_.m12() * pt.x + view_.m22() * pt.y + view_.dy()};
  }

  QPen PenFor(const Style& s) const {
    QPen pen(Colour(s.rgb));
    const double w = s.width_mm * kUnitsPerMm * scale_;
    pen.setWidthF(w < opt_.min_pen_px ? 0 : w);  // 0: one device pixel
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
  }

  void Flush() {
    if (lines_.empty()) return;
    const QPen pen = PenFor(pic_->styles[batch_style_]);
    if (raster_ && pen.widthF() == 0) {
      const QRgb rgb = pen.color().rgb();
      for (const QLineF& line : lines_) raster_->Draw(line, rgb, smooth_lines_);
    } else {
      p_.setRenderHint(QPainter::Antialiasing, smooth_lines_);
      p_.setPen(pen);
      p_.drawLines(lines_.data(), static_cast<int>(lines_.size()));
      p_.setRenderHint(QPainter::Antialiasing, opt_.antialias);
    }
    lines_.clear();
  }

  // The paint device's area in the view's units: what lies wholly outside it
  // is not drawn (a zoomed view of a dense sheet would pay for all of it).
  // Empty (nothing culled) when it cannot be known.
  static QRectF DeviceRect(QPainter& painter) {
    const QPaintDevice* device = painter.device();
    if (!device || device->width() <= 0 || device->height() <= 0) return {};
    const double ratio = std::max(1.0, device->devicePixelRatioF());
    bool invertible = false;
    const QTransform to_view = painter.worldTransform().inverted(&invertible);
    if (!invertible) return {};
    return to_view.mapRect(QRectF(0, 0, device->width() / ratio, device->height() / ratio));
  }

  // True when the box of a and b, grown by `reach`, misses the device.
  bool Culled(QPointF a, QPointF b, double reach) const {
    if (clip_.isEmpty()) return false;
    return std::max(a.x(), b.x()) < clip_.left() - reach ||
           std::min(a.x(), b.x()) > clip_.right() + reach ||
           std::max(a.y(), b.y()) < clip_.top() - reach ||
           std::min(a.y(), b.y()) > clip_.bottom() + reach;
  }

  void AddLine(QPointF a, QPointF b) {
    if (Culled(a, b, line_reach_)) return;
    if (a == b) b += QPointF(0.25, 0);  // a dot still leaves a mark
    if (direct_)
      raster_->Draw(QLineF(a, b), direct_rgb_, smooth_lines_);
    else
      lines_.emplace_back(a, b);
  }

  void Polyline(const Item& item) {
    if (item.style != batch_style_ || !style_known_) {
      Flush();
      batch_style_ = item.style;
      style_known_ = true;
      const QPen pen = PenFor(pic_->styles[item.style]);
      line_reach_ = pen.widthF() / 2 + 2;
      // One-pixel lines go into the image as they come, not batched first.
      direct_ = raster_ && pen.widthF() == 0;
      direct_rgb_ = pen.color().rgb();
    }
    const Style& style = pic_->styles[item.style];
    const double pattern_px = style.pattern_length * scale_;
    const bool dashed =
        style.line_type != 0 && pattern_px >= kMinPatternPx && dashes_ < kDashBudget;
    if (!dashed) {
      QPointF a = Map(pic_->points[item.first]);
      for (uint32_t i = 1; i < item.count; ++i) {
        const QPointF b = Map(pic_->points[item.first + i]);
        AddLine(a, b);
        a = b;
      }
      return;
    }
    Dashed(item, LineTypeElements(style.line_type), pattern_px);
  }

  // Walks the pattern along the polyline; it runs on across vertices.
  void Dashed(const Item& item, const std::vector<double>& elements, double pattern_px) {
    size_t k = 0;
    double left = elements[0] * pattern_px / 100;
    QPointF a = Map(pic_->points[item.first]);
    for (uint32_t i = 1; i < item.count; ++i) {
      const QPointF b = Map(pic_->points[item.first + i]);
      const double len = QLineF(a, b).length();
      auto at = [&](double t) { return len > 0 ? a + (b - a) * (t / len) : a; };
      double t = 0;
      while (len - t > left && dashes_ < kDashBudget) {
        if (k % 2 == 0) AddLine(at(t), at(t + left));
        ++dashes_;
        t += left;
        k = (k + 1) % elements.size();
        left = elements[k] * pattern_px / 100;
      }
      if (dashes_ >= kDashBudget) {
        AddLine(at(t), b);  // out of budget: the rest solid
      } else if (k % 2 == 0 && len > t) {
        AddLine(at(t), b);
      }
      left -= len - t;
      a = b;
    }
  }

  void Polygon(const Item& item) {
    if (PolygonCulled(item)) return;
    QPainterPath path;
    path.setFillRule(item.even_odd ? Qt::OddEvenFill : Qt::WindingFill);
    for (uint32_t l = 0; l < item.count; ++l) {
      const Loop& loop = pic_->loops[item.first + l];
      QPolygonF poly;
      poly.reserve(loop.count);
      for (uint32_t i = 0; i < loop.count; ++i) poly << Map(pic_->points[loop.first + i]);
      path.addPolygon(poly);
      path.closeSubpath();
    }
    p_.fillPath(path, Colour(pic_->styles[item.style].rgb));
  }

  bool PolygonCulled(const Item& item) const {
    if (clip_.isEmpty()) return false;
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    for (uint32_t l = 0; l < item.count; ++l) {
      const Loop& loop = pic_->loops[item.first + l];
      for (uint32_t i = 0; i < loop.count; ++i) {
        const QPointF q = Map(pic_->points[loop.first + i]);
        x0 = std::min(x0, q.x()), x1 = std::max(x1, q.x());
        y0 = std::min(y0, q.y()), y1 = std::max(y1, q.y());
      }
    }
    return x0 > x1 || Culled(QPointF(x0, y0), QPointF(x1, y1), 2);
  }

  void LabelItem(const Label& l) {
    const QPointF at = Map(l.origin);
    const double reach =
        (std::abs(l.width) + std::abs(l.height)) * (1 + std::abs(l.slant)) * scale_ + 2;
    if (std::isfinite(reach) && Culled(at, at, reach)) return;
    const QColor colour = Colour(pic_->styles[l.style].rgb);
    if (std::abs(l.height) * scale_ < opt_.min_text_px) return Patch(l, colour);
    const double dx = std::cos(l.direction), dy = std::sin(l.direction);
    const double nx = -dy, ny = dx;  // "up": a quarter turn counter-clockwise
    const auto index = static_cast<int>(l.face);
    const Face& face = faces_[index];
    const double sx = l.width / face.advance, sy = l.height / face.body;
    const double bx = l.origin.x + face.baseline * sy * nx,
                 by = l.origin.y + face.baseline * sy * ny;
    // Font coordinates (y down, baseline at 0) to plotter units.
    const QTransform local(sx * dx, sx * dy, -sy * (l.slant * dx + nx), -sy * (l.slant * dy + ny),
                           bx, by);
    const QTransform glyph = local * view_;
    if (stamps_ && stamps_->Draw(index, face.font, l.text, colour.rgb(), glyph)) return;
    p_.save();
    p_.setTransform(glyph, false);
    p_.setFont(face.font);
    p_.setPen(colour);
    p_.drawText(QPointF(0, 0), QString::fromUtf8(l.text.data(), static_cast<int>(l.text.size())));
    p_.restore();
  }

  // A label too small to read: its character body as a shaded patch.
  void Patch(const Label& l, const QColor& colour) {
    const double dx = std::cos(l.direction), dy = std::sin(l.direction);
    const double nx = -dy, ny = dx;
    const double ux = l.width * dx, uy = l.width * dy;
    const double vx = l.height * (nx + l.slant * dx), vy = l.height * (ny + l.slant * dy);
    const QPointF o(l.origin.x, l.origin.y);
    QPolygonF body({o, o + QPointF(ux, uy), o + QPointF(ux + vx, uy + vy), o + QPointF(vx, vy)});
    QColor shade = colour;
    shade.setAlpha(90);
    p_.setPen(Qt::NoPen);
    p_.setBrush(shade);
    p_.drawPolygon(view_.map(body));
    p_.setBrush(Qt::NoBrush);
  }

  QPainter& p_;
  const PlotPicture* pic_ = nullptr;
  QTransform view_;
  const RenderOptions& opt_;
  LineRaster* raster_;
  double scale_;
  bool smooth_lines_;
  QRectF clip_;
  bool style_known_ = false;
  double line_reach_ = 2;
  bool direct_ = false;  // the batch style's lines go straight to raster_
  QRgb direct_rgb_ = 0;
  std::array<Face, 3> faces_;
  std::optional<GlyphStamps> stamps_;
  std::vector<QLineF> lines_;
  uint32_t batch_style_ = 0;
  size_t dashes_ = 0;
};

}  // namespace

class ItemPainter::Impl : public Painter {
  using Painter::Painter;
};

ItemPainter::ItemPainter(QPainter& painter, const QTransform& view, const RenderOptions& options,
                         LineRaster* raster, size_t total_points, bool stamp_labels)
    : impl_(std::make_unique<Impl>(painter, view, options, raster, total_points, stamp_labels)) {}

ItemPainter::~ItemPainter() = default;

void ItemPainter::Run(const PlotPicture& picture) { impl_->Run(picture); }

}  // namespace tovrin::preview
