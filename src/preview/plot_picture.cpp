#include "preview/plot_picture.h"

#include <cmath>

namespace tovrin::preview {

void Box::Add(double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  if (!valid) {
    x0 = x1 = x;
    y0 = y1 = y;
    valid = true;
    return;
  }
  x0 = std::min(x0, x);
  x1 = std::max(x1, x);
  y0 = std::min(y0, y);
  y1 = std::max(y1, y);
}

void Box::Add(const Box& b) {
  if (!b.valid) return;
  Add(b.x0, b.y0);
  Add(b.x1, b.y1);
}

Box PlotPicture::InkBounds() const {
  Box box;
  for (const Item& item : items) {
    if (item.kind == Item::Kind::Label) {
      const Label& l = labels[item.first];
      const double c = std::cos(l.direction), s = std::sin(l.direction);
      // Body corners: along the direction by width, across it by height.
      for (double u : {0.0, l.width})
        for (double v : {0.0, l.height}) {
          const double us = u + l.slant * v;
          box.Add(l.origin.x + us * c - v * s, l.origin.y + us * s + v * c);
        }
      continue;
    }
    uint32_t first = item.first, count = item.count;
    if (item.kind == Item::Kind::Polygon) {
      for (uint32_t i = 0; i < item.count; ++i) {
        const Loop& loop = loops[item.first + i];
        for (uint32_t p = 0; p < loop.count; ++p)
          box.Add(points[loop.first + p].x, points[loop.first + p].y);
      }
      continue;
    }
    for (uint32_t p = 0; p < count; ++p) box.Add(points[first + p].x, points[first + p].y);
  }
  return box;
}

}  // namespace tovrin::preview
