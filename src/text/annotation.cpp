#include <cmath>
#include <string_view>

#include "geometry/encode_points.h"
#include "geometry/plot_math.h"
#include "geometry/stroke_modes.h"
#include "glf/format_number.h"
#include "ofi/ofi_point.h"
#include "ofi/pending.h"
#include "ofi/translation.h"
#include "text/text_commands.h"

namespace tovrin {
namespace {

constexpr int kPaletteSize = 11;

// The colour setting as a 24-bit 0xBBGGRR value: rounded half to even, taken
// modulo 2^24 so that negative values read as two's complement (-1 is white)
// and no component can exceed 255.
uint32_t PaletteRgb(double colour) {
  if (!std::isfinite(colour)) return 0;
  constexpr double kRange = 16777216.0;
  double v = std::fmod(std::nearbyint(colour), kRange);
  if (v < 0) v += kRange;
  return static_cast<uint32_t>(v);
}

}  // namespace

void RunAnnotationLine(Translation& tr) {
  FlushPending(tr);
  RestorePattern(tr);
  EnterTextMode(tr);
  const OfiPoint from = ReadPoint(tr.reader);
  const OfiPoint to = ReadPoint(tr.reader);
  const PlotPoint start = ToPlotter(tr, from);
  // The relative move is the scaled difference floored once, so the line's
  // length does not depend on where it starts.
  const int64_t rise = ScaleFloor(tr, to.y - from.y);
  const int64_t run = ScaleFloor(tr, to.x - from.x);
  WritePoints(tr.out, "PE<=", {start.x, start.y, rise, run}, ";");
}

void RunPaletteColour(Translation& tr) {
  const int number = tr.reader.ReadSigned();
  if (number == 0) {
    tr.out.Write("PC");
    return;
  }
  if (number < 1 || number > kPaletteSize) return;
  const uint32_t v = PaletteRgb(tr.cfg().settings.PaletteColour(number));
  std::string_view pen = tr.stroke().stroke_pen;
  if (pen.substr(0, 2) == "SP") pen.remove_prefix(2);
  tr.out.Write("PC", pen, ",", FormatNumber(v & 0xFF, "##0"), ",",
               FormatNumber((v >> 8) & 0xFF, "##0"), ",", FormatNumber((v >> 16) & 0xFF, "##0"));
}

}  // namespace tovrin
