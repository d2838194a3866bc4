#include "geometry/fill_output.h"

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
