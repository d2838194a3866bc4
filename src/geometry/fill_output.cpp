#include "geometry/fill_output.h"

#include "geometry/encode_points.h"
#include "geometry/plot_math.h"
#include "ofi/format_number.h"
#include "ofi/translation.h"

namespace tovrin {
namespace {

std::string Formatted(Translation& tr, double value, const char* pattern) {
  if (!CheckFinite(tr, value)) return {};
  return FormatNumber(value, pattern);
}

}  // namespace

uint32_t ReadDoubleWord(WordReader& reader) {
  uint32_t low = reader.ReadUnsigned();
  uint32_t high = reader.ReadUnsigned();
  return low + (high << 16);
}

uint32_t PeekDoubleWord(const WordReader& reader, size_t offset) {
  return reader.Peek(offset) + (static_cast<uint32_t>(reader.Peek(offset + 1)) << 16);
}

OfiPoint ReadPoint(WordReader& reader) {
  OfiPoint p;
  p.x = reader.ReadUnsigned();
  p.y = reader.ReadUnsigned();
  return p;
}

void WriteAbsolute(Translation& tr, OfiPoint p) {
  PlotPoint q = ToPlotter(tr, p.x, p.y);
  EncodePoints(tr.out, {q.x, q.y});
}

std::string CentreFields(Translation& tr, double cx, double cy) {
  const SheetContext& s = tr.sheet();
  return Formatted(tr, (cy - s.OriginY) * s.DrawingScale / 25, "########") + "," +
         Formatted(tr, (cx - s.OriginX) * s.DrawingScale / 25, "########");
}

std::string PlotterLength(Translation& tr, double ofi_length) {
  return Formatted(tr, ofi_length * tr.sheet().DrawingScale / 25, "########");
}

std::string Degrees(Translation& tr, double radians) {
  return Formatted(tr, radians / kPi * 180, "###.0####");
}

}  // namespace tovrin
