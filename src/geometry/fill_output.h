// Pieces shared by the filled shapes: wide lines, wide arcs and areas.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tovrin {

struct Translation;
class WordReader;

struct OfiPoint {
  double x = 0;  // first word
  double y = 0;  // second word
};

// A count or length held in two words, low word first.
uint32_t ReadDoubleWord(WordReader& reader);
uint32_t PeekDoubleWord(const WordReader& reader, size_t offset);
OfiPoint ReadPoint(WordReader& reader);

// The absolute plotter point of an OFI point, polyline-encoded.
void WriteAbsolute(Translation& tr, OfiPoint p);

// "x,y" of an arc centre as AA wants it: plotter x from CY, y from CX,
// each rounded with "########" (a value rounding to 0 leaves its field empty).
std::string CentreFields(Translation& tr, double cx, double cy);
// An OFI length in plotter units with "########" (circle radii).
std::string PlotterLength(Translation& tr, double ofi_length);
// Radians as degrees with "###.0####".
std::string Degrees(Translation& tr, double radians);

}  // namespace tovrin
