#include "preview/glyph_stamps.h"

#include <QColor>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cmath>
#include <functional>

#include "preview/line_raster.h"

namespace tovrin::preview {
namespace {

size_t Mix(size_t seed, size_t v) {
  return seed ^ (v + 0x9E3779B97F4A7C15ull + (seed << 6) + (seed >> 2));
}

// The smallest box of `image` that holds every pixel with some coverage.
QRect Covered(const QImage& image) {
  int x0 = image.width(), y0 = image.height(), x1 = -1, y1 = -1;
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if (row[x] == 0) continue;
      x0 = std::min(x0, x), x1 = std::max(x1, x);
      y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
  }
  return x1 < 0 ? QRect() : QRect(QPoint(x0, y0), QPoint(x1, y1));
}

}  // namespace

size_t GlyphStamps::KeyHash::operator()(const Key& k) const {
  size_t h = std::hash<std::string>()(k.text);
  for (double m : {k.m11, k.m12, k.m21, k.m22}) h = Mix(h, std::hash<double>()(m));
  h = Mix(h, static_cast<size_t>(k.face) << 32 | k.rgb);
  return Mix(h, static_cast<size_t>(k.step));
}

// Draws the character as QPainter would draw it into the image, onto a
// transparent picture just big enough for it.
GlyphStamps::Stamp GlyphStamps::Make(const Key& key, const QFont& font) {
  const QString text = QString::fromUtf8(key.text.data(), static_cast<qsizetype>(key.text.size()));
  const QTransform linear(key.m11, key.m12, key.m21, key.m22, 0, 0);
  const QRectF bounds = linear.mapRect(QFontMetricsF(font).boundingRect(text));
  Stamp s;
  if (!(bounds.width() < kMaxSide && bounds.height() < kMaxSide)) {  // also NaN
    s.w = -1;
    return s;
  }
  const int ox = 2 - static_cast<int>(std::floor(bounds.left()));
  const int oy = 2 - static_cast<int>(std::floor(bounds.top()));
  QImage image(static_cast<int>(std::ceil(bounds.width())) + 5,
               static_cast<int>(std::ceil(bounds.height())) + 5,
               QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.setTransform(QTransform(key.m11, key.m12, key.m21, key.m22,
                            ox + static_cast<double>(key.step) / kSteps, oy));
  p.setFont(font);
  p.setPen(QColor::fromRgb(key.rgb));
  p.drawText(QPointF(0, 0), text);
  p.end();
  const QRect ink = Covered(image);
  s.w = ink.width();  // 0 for a character without ink
  s.h = ink.height();
  s.dx = ink.left() - ox;
  s.dy = ink.top() - oy;
  s.pixels.reserve(static_cast<size_t>(s.w) * s.h);
  for (int y = ink.top(); y <= ink.bottom() && s.w > 0; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    s.pixels.insert(s.pixels.end(), row + ink.left(), row + ink.left() + s.w);
  }
  return s;
}

bool GlyphStamps::Draw(int face, const QFont& font, const std::string& text, QRgb rgb,
                       const QTransform& transform) {
  // Where QPainter puts a glyph: across, down to a quarter pixel; down, to
  // the nearest whole pixel.
  const double across = std::floor(transform.dx() * kSteps);
  const double down = std::floor(transform.dy() + 0.5);
  if (!(std::abs(across) < 1e9 && std::abs(down) < 1e9)) return false;  // also NaN
  const int px = static_cast<int>(std::floor(across / kSteps)), py = static_cast<int>(down);
  Key key{face,
          text,
          rgb & 0xFFFFFFu,
          transform.m11(),
          transform.m12(),
          transform.m21(),
          transform.m22(),
          static_cast<int>(across) - px * kSteps};
  auto it = stamps_.find(key);
  if (it == stamps_.end()) {
    Stamp s = Make(key, font);
    if (s.w < 0) return false;  // too big
    if (bytes_ > kMaxBytes) {
      stamps_.clear();
      bytes_ = 0;
    }
    bytes_ += s.pixels.size() * sizeof(uint32_t) + sizeof(Key) + sizeof(Stamp) + text.size();
    it = stamps_.emplace(std::move(key), std::move(s)).first;
  }
  const Stamp& s = it->second;
  if (s.w > 0) raster_.Stamp(s.pixels.data(), s.w, s.h, px + s.dx, py + s.dy);
  return true;
}

}  // namespace tovrin::preview
