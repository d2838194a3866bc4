// One-pixel lines written straight into 32-bit image memory. A dense drawing
// holds millions of short strokes; going through QPainter per line costs
// far more than the pixels themselves.
#pragma once

#include <QLineF>
#include <QRgb>

#include <cstdint>

namespace tovrin::preview {

class LineRaster {
 public:
  // `pixels` of an RGB32/ARGB32 image, `stride` in pixels.
  LineRaster(uint32_t* pixels, int width, int height, int stride)
      : px_(pixels), w_(width), h_(height), stride_(stride) {}

  // Draws the line in an opaque colour; antialiased (Wu) or not.
  void Draw(QLineF line, QRgb colour, bool antialias);

  // Lays premultiplied ARGB `src` (`w` x `h`, packed) over the image with its
  // top left corner at pixel (x, y); what falls outside is left out.
  void Stamp(const uint32_t* src, int w, int h, int x, int y);

 private:
  bool Clip(double& x0, double& y0, double& x1, double& y1) const;
  // Inline: it runs once or twice for every pixel of every line.
  void Blend(int x, int y, QRgb colour, int alpha) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_ || alpha <= 0) return;
    uint32_t& d = px_[static_cast<size_t>(y) * stride_ + x];
    if (alpha >= 255) {
      d = colour | 0xFF000000u;
      return;
    }
    // Red and blue in one multiply, green in another; weights out of 256.
    const uint32_t a = static_cast<uint32_t>(alpha) + (alpha >> 7), inv = 256 - a;
    const uint32_t rb = (((colour & 0xFF00FFu) * a + (d & 0xFF00FFu) * inv) >> 8) & 0xFF00FFu;
    const uint32_t g = (((colour & 0x00FF00u) * a + (d & 0x00FF00u) * inv) >> 8) & 0x00FF00u;
    d = 0xFF000000u | rb | g;
  }
  void Plain(double x0, double y0, double x1, double y1, QRgb colour);
  void Smooth(double x0, double y0, double x1, double y1, QRgb colour);

  uint32_t* px_;
  int w_, h_, stride_;
};

}  // namespace tovrin::preview
