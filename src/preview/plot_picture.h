// What a GLF draws, as a display list in plotter units (0.025 mm), ready for
// any renderer. Built by ParseGlf; no Qt here so the parser stays testable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tovrin::preview {

struct Point {
  float x = 0;
  float y = 0;
};

struct Box {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool valid = false;
  void Add(double x, double y);
  void Add(const Box& b);
  double Width() const { return valid ? x1 - x0 : 0; }
  double Height() const { return valid ? y1 - y0 : 0; }
};

// How a stroke or fill looks: the pen's colour and width, the line type.
struct Style {
  uint32_t rgb = 0;  // 0xRRGGBB
  double width_mm = 0.3;
  int line_type = 0;          // 0 solid, else the HP-GL/2 fixed type 1..8
  double pattern_length = 0;  // plotter units
  bool operator==(const Style&) const = default;
};

// One drawn character as the plotter places it: the lower left corner of
// its body at `origin`, the body `width` along `direction` and `height`
// across it (both may be negative: mirrored), sheared by `slant`.
struct Label {
  Point origin;
  std::string text;      // UTF-8, one character
  double width = 0;      // plotter units
  double height = 0;     // plotter units
  double direction = 0;  // radians, counter-clockwise from plotter +x
  double slant = 0;      // tangent of the slant angle
  enum class Face : uint8_t { Fixed, HalfKana, Kanji } face = Face::Fixed;
  uint32_t style = 0;
};

struct Loop {
  uint32_t first = 0;
  uint32_t count = 0;
};

struct Item {
  enum class Kind : uint8_t { Polyline, Polygon, Label } kind = Kind::Polyline;
  bool even_odd = true;  // polygons: the fill rule
  uint32_t style = 0;
  uint32_t first = 0;  // Polyline: points; Polygon: loops; Label: labels
  uint32_t count = 0;
};

struct PlotPicture {
  std::vector<Point> points;
  std::vector<Loop> loops;
  std::vector<Label> labels;
  std::vector<Style> styles;
  std::vector<Item> items;

  Box paper;               // P1..P2 as the last IP left them
  Box media;               // from PS, when the GLF gave one
  int rotation = 0;        // the last RO, degrees
  int copies = 1;          // 1 + RP
  int extra_pages = 0;     // pages after the first; not drawn
  bool truncated = false;  // the drawing budget ran out
  size_t unknown_instructions = 0;

  // Everything that puts ink on the sheet, in plotter units.
  Box InkBounds() const;
};

}  // namespace tovrin::preview
