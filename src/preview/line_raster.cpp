#include "preview/line_raster.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tovrin::preview {

// Liang-Barsky against the pixel centres' box, half a pixel of slack.
bool LineRaster::Clip(double& x0, double& y0, double& x1, double& y1) const {
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) return false;
  const double lo_x = -0.5, hi_x = w_ - 0.5, lo_y = -0.5, hi_y = h_ - 0.5;
  double t0 = 0, t1 = 1;
  const double dx = x1 - x0, dy = y1 - y0;
  auto edge = [&](double p, double q) {
    if (p == 0) return q >= 0;
    const double t = q / p;
    if (p < 0) {
      if (t > t1) return false;
      t0 = std::max(t0, t);
    } else {
      if (t < t0) return false;
      t1 = std::min(t1, t);
    }
    return true;
  };
  if (!edge(-dx, x0 - lo_x) || !edge(dx, hi_x - x0) || !edge(-dy, y0 - lo_y) || !edge(dy, hi_y - y0)) return false;
  const double ax = x0 + t0 * dx, ay = y0 + t0 * dy;
  x1 = x0 + t1 * dx;
  y1 = y0 + t1 * dy;
  x0 = ax;
  y0 = ay;
  return true;
}

void LineRaster::Draw(QLineF line, QRgb colour, bool antialias) {
  double x0 = line.x1(), y0 = line.y1(), x1 = line.x2(), y1 = line.y2();
  if (!Clip(x0, y0, x1, y1)) return;
  if (antialias)
    Smooth(x0, y0, x1, y1, colour);
  else
    Plain(x0, y0, x1, y1, colour);
}

// Pixel centres sit at whole coordinates once 0.5 is taken off, as in QPainter.
void LineRaster::Plain(double x0, double y0, double x1, double y1, QRgb colour) {
  x0 -= 0.5, y0 -= 0.5, x1 -= 0.5, y1 -= 0.5;
  const bool steep = std::abs(y1 - y0) > std::abs(x1 - x0);
  if (steep) {
    std::swap(x0, y0);
    std::swap(x1, y1);
  }
  if (x0 > x1) {
    std::swap(x0, x1);
    std::swap(y0, y1);
  }
  const int a = static_cast<int>(std::floor(x0 + 0.5)), b = static_cast<int>(std::floor(x1 + 0.5));
  const double slope = x1 > x0 ? (y1 - y0) / (x1 - x0) : 0;
  for (int i = a; i <= b; ++i) {
    const int j = static_cast<int>(std::floor(y0 + slope * (i - x0) + 0.5));
    if (steep)
      Blend(j, i, colour, 255);
    else
      Blend(i, j, colour, 255);
  }
}

// Xiaolin Wu: two pixels across the line share its coverage.
void LineRaster::Smooth(double x0, double y0, double x1, double y1, QRgb colour) {
  x0 -= 0.5, y0 -= 0.5, x1 -= 0.5, y1 -= 0.5;
  const bool steep = std::abs(y1 - y0) > std::abs(x1 - x0);
  if (steep) {
    std::swap(x0, y0);
    std::swap(x1, y1);
  }
  if (x0 > x1) {
    std::swap(x0, x1);
    std::swap(y0, y1);
  }
  const int a = static_cast<int>(std::floor(x0 + 0.5)), b = static_cast<int>(std::floor(x1 + 0.5));
  const double slope = x1 > x0 ? (y1 - y0) / (x1 - x0) : 0;
  constexpr double weight = 255;
  for (int i = a; i <= b; ++i) {
    const double y = y0 + slope * (i - x0);
    const int j = static_cast<int>(std::floor(y));
    const double f = y - j;
    const int lo = static_cast<int>(weight * (1 - f) + 0.5), hi = static_cast<int>(weight * f + 0.5);
    if (steep) {
      Blend(j, i, colour, lo);
      Blend(j + 1, i, colour, hi);
    } else {
      Blend(i, j, colour, lo);
      Blend(i, j + 1, colour, hi);
    }
  }
}

}  // namespace tovrin::preview
