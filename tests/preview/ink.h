// Ink masks of rendered pictures for the preview tests.
#pragma once

#include <QImage>
#include <QRect>

#include <vector>

namespace tovrin::preview::test {

inline bool Inked(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) < 128; }

// Bounding box of the ink inside `area` (empty when there is none).
inline QRect InkBox(const QImage& image, QRect area) {
  area = area.intersected(image.rect());
  int x0 = area.right() + 1, y0 = area.bottom() + 1, x1 = -1, y1 = -1;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (Inked(image, x, y)) {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
      }
  return x1 < 0 ? QRect() : QRect(QPoint(x0, y0), QPoint(x1, y1));
}

// The ink of `image` as a mask, grown by `radius` pixels in every direction.
inline std::vector<bool> GrownMask(const QImage& image, int radius) {
  const int w = image.width(), h = image.height();
  std::vector<bool> mask(static_cast<size_t>(w) * h, false);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (!Inked(image, x, y)) continue;
      for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
          const int gx = x + dx, gy = y + dy;
          if (gx >= 0 && gy >= 0 && gx < w && gy < h) mask[static_cast<size_t>(gy) * w + gx] = true;
        }
    }
  return mask;
}

// Share of the ink pixels of `a` that fall on the grown ink of `b` (same size).
inline double Coverage(const QImage& a, const std::vector<bool>& grown_b) {
  size_t ink = 0, covered = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (Inked(a, x, y)) {
        ++ink;
        covered += grown_b[static_cast<size_t>(y) * a.width() + x];
      }
  return ink ? static_cast<double>(covered) / ink : 0;
}

}  // namespace tovrin::preview::test
