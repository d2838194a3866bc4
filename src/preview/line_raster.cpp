#include "preview/line_raster.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <utility>

namespace tovrin::preview {

// Liang-Barsky against the pixel centres' box, half a pixel of slack.
bool LineRaster::Clip(double& x0, double& y0, double& x1, double& y1) const {
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1))
    return false;
  const double lo_x = -0.5, hi_x = w_ - 0.5, lo_y = -0.5, hi_y = h_ - 0.5;
  const double dx = x1 - x0, dy = y1 - y0;
  // Most lines lie wholly inside: the end as the full clip would compute it.
  if (x0 >= lo_x && x0 <= hi_x && x1 >= lo_x && x1 <= hi_x && y0 >= lo_y && y0 <= hi_y &&
      y1 >= lo_y && y1 <= hi_y) {
    x1 = x0 + dx;
    y1 = y0 + dy;
    return true;
  }
  double t0 = 0, t1 = 1;
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
  if (!edge(-dx, x0 - lo_x) || !edge(dx, hi_x - x0) || !edge(-dy, y0 - lo_y) ||
      !edge(dy, hi_y - y0))
    return false;
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

namespace {

// std::floor for the clipped coordinates; the library call would cost more
// than the pixel it places.
inline int Floor(double v) {
  const int t = static_cast<int>(v);
  return t - (v < t);
}

// A clipped line laid along its major axis: pixel columns a..b, and the
// minor coordinate at column i is y0 + slope * (i - x0). `steep` means the
// axes were exchanged.
struct MajorAxisWalk {
  bool steep = false;
  int a = 0, b = 0;
  double x0 = 0, y0 = 0, slope = 0;

  // Pixel centres sit at whole coordinates once 0.5 is taken off, as in QPainter.
  MajorAxisWalk(double ax, double ay, double bx, double by) {
    ax -= 0.5, ay -= 0.5, bx -= 0.5, by -= 0.5;
    steep = std::abs(by - ay) > std::abs(bx - ax);
    if (steep) {
      std::swap(ax, ay);
      std::swap(bx, by);
    }
    if (ax > bx) {
      std::swap(ax, bx);
      std::swap(ay, by);
    }
    a = static_cast<int>(std::floor(ax + 0.5));
    b = static_cast<int>(std::floor(bx + 0.5));
    x0 = ax;
    y0 = ay;
    slope = bx > ax ? (by - ay) / (bx - ax) : 0;
  }
  double MinorAt(int i) const { return y0 + slope * (i - x0); }
};

}  // namespace

// The same pixels as Blend(..., 255) would set, without its tests per pixel:
// dense sheets spend most of their time here.
void LineRaster::Plain(double x0, double y0, double x1, double y1, QRgb colour) {
  const MajorAxisWalk walk(x0, y0, x1, y1);
  const uint32_t opaque = colour | 0xFF000000u;
  const int major_size = walk.steep ? h_ : w_;
  const auto minor_size = static_cast<unsigned>(walk.steep ? w_ : h_);
  const size_t major_step = walk.steep ? static_cast<size_t>(stride_) : 1;
  const size_t minor_step = walk.steep ? 1 : static_cast<size_t>(stride_);
  auto put = [&](int i, int j) {
    if (static_cast<unsigned>(j) < minor_size)
      px_[static_cast<size_t>(i) * major_step + static_cast<size_t>(j) * minor_step] = opaque;
  };
  const int last = std::min(walk.b, major_size - 1);
  int i = std::max(walk.a, 0);
#if defined(__SSE2__)
  // Two columns at a time, each lane working out MinorAt and Floor exactly
  // as the plain loop below does.
  const __m128d ax = _mm_set1_pd(walk.x0), ay = _mm_set1_pd(walk.y0);
  const __m128d slope = _mm_set1_pd(walk.slope), half = _mm_set1_pd(0.5);
  for (; i < last; i += 2) {
    const __m128d column = _mm_cvtepi32_pd(_mm_setr_epi32(i, i + 1, 0, 0));
    const __m128d v = _mm_add_pd(_mm_add_pd(ay, _mm_mul_pd(slope, _mm_sub_pd(column, ax))), half);
    const __m128i t = _mm_cvttpd_epi32(v);
    const __m128d below = _mm_cmplt_pd(v, _mm_cvtepi32_pd(t));  // all ones: one less
    const __m128i j =
        _mm_add_epi32(t, _mm_shuffle_epi32(_mm_castpd_si128(below), _MM_SHUFFLE(3, 1, 2, 0)));
    put(i, _mm_cvtsi128_si32(j));
    put(i + 1, _mm_cvtsi128_si32(_mm_srli_si128(j, 4)));
  }
#endif
  for (; i <= last; ++i) put(i, Floor(walk.MinorAt(i) + 0.5));
}

void LineRaster::Stamp(const uint32_t* src, int w, int h, int x, int y) {
  const int x0 = std::max(x, 0), x1 = std::min(x + w, w_);
  const int y0 = std::max(y, 0), y1 = std::min(y + h, h_);
  for (int row = y0; row < y1; ++row) {
    const uint32_t* s = src + static_cast<size_t>(row - y) * w - x;
    uint32_t* d = px_ + static_cast<size_t>(row) * stride_;
    for (int col = x0; col < x1; ++col) {
      const uint32_t c = s[col], a = c >> 24;
      if (a == 0) continue;
      // Source over: the colour plus what its coverage leaves of the pixel.
      const uint32_t keep = 255 - a, p = d[col];
      uint32_t rb = (p & 0xFF00FFu) * keep, g = (p & 0x00FF00u) * keep;
      rb = ((rb + ((rb >> 8) & 0xFF00FFu) + 0x800080u) >> 8) & 0xFF00FFu;
      g = ((g + ((g >> 8) & 0x00FF00u) + 0x008000u) >> 8) & 0x00FF00u;
      d[col] = 0xFF000000u | ((c & 0xFFFFFFu) + rb + g);
    }
  }
}

// Xiaolin Wu: two pixels across the line share its coverage.
void LineRaster::Smooth(double x0, double y0, double x1, double y1, QRgb colour) {
  const MajorAxisWalk walk(x0, y0, x1, y1);
  constexpr double weight = 255;
  for (int i = walk.a; i <= walk.b; ++i) {
    const double y = walk.MinorAt(i);
    const int j = Floor(y);
    const double f = y - j;
    const int lo = static_cast<int>(weight * (1 - f) + 0.5),
              hi = static_cast<int>(weight * f + 0.5);
    if (walk.steep) {
      Blend(j, i, colour, lo);
      Blend(j + 1, i, colour, hi);
    } else {
      Blend(i, j, colour, lo);
      Blend(i, j + 1, colour, hi);
    }
  }
}

}  // namespace tovrin::preview
