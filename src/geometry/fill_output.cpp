#include "geometry/fill_output.h"

#include "geometry/plot_math.h"
#include "ofi/translation.h"

namespace tovrin {
namespace {

constexpr NumberPattern kWhole("########");
constexpr NumberPattern kDegrees("###.0####");

void Formatted(Translation& tr, double value, const NumberPattern& pattern, NumberText& text) {
  if (CheckFinite(tr, value)) FormatNumber(value, pattern, text);
}

}  // namespace

CentreFields::CentreFields(Translation& tr, double cx, double cy) {
  const SheetContext& s = tr.sheet();
  Formatted(tr, (cy - s.OriginY) * s.DrawingScale / 25, kWhole, x);
  Formatted(tr, (cx - s.OriginX) * s.DrawingScale / 25, kWhole, y);
}

PlotterLength::PlotterLength(Translation& tr, double ofi_length) {
  Formatted(tr, ofi_length * tr.sheet().DrawingScale / 25, kWhole, *this);
}

Degrees::Degrees(Translation& tr, double radians) {
  Formatted(tr, radians / kPi * 180, kDegrees, *this);
}

}  // namespace tovrin
