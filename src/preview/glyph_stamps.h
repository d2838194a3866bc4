// Labels copied from small pictures of their characters. A big drawing holds
// hundreds of thousands of labels but few different ones: each character in
// one font, size, turn, colour and place within a pixel is drawn once by
// QPainter and copied into the image for every label after. Laying text out
// through QPainter for each label costs far more than the copy. Stamps are
// placed as QPainter places glyphs (a quarter pixel across, a whole pixel
// down), so they differ from its drawing only by rounding.
#pragma once

#include <QFont>
#include <QRgb>
#include <QTransform>

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace tovrin::preview {

class LineRaster;

class GlyphStamps {
 public:
  explicit GlyphStamps(LineRaster& raster) : raster_(raster) {}

  // Draws `text` (UTF-8) in `font` (one of the painter's faces, `face`) and
  // `rgb`, antialiased, through `transform`: font units with the baseline at
  // the origin to image pixels. False when it is too big for a stamp; the
  // caller then draws it itself.
  bool Draw(int face, const QFont& font, const std::string& text, QRgb rgb,
            const QTransform& transform);

  static constexpr int kSteps = 4;               // places across a pixel
  static constexpr int kMaxSide = 160;           // pixels: bigger labels are drawn directly
  static constexpr size_t kMaxBytes = 48 << 20;  // all stamps; past it they start again

 private:
  // Premultiplied ARGB, placed `dx`, `dy` from the whole pixel of the origin;
  // `w` is 0 for a character without ink, -1 for one too big for a stamp.
  struct Stamp {
    int dx = 0, dy = 0, w = 0, h = 0;
    std::vector<uint32_t> pixels;
  };
  struct Key {
    int face = 0;
    std::string text;
    QRgb rgb = 0;
    double m11 = 0, m12 = 0, m21 = 0, m22 = 0;
    int step = 0;  // the origin's place across its pixel, in 1/kSteps
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& k) const;
  };

  static Stamp Make(const Key& key, const QFont& font);

  LineRaster& raster_;
  std::unordered_map<Key, Stamp, KeyHash> stamps_;
  size_t bytes_ = 0;
};

}  // namespace tovrin::preview
