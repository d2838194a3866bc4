#include <cmath>

#include "geometry/encode_points.h"
#include "geometry/plot_math.h"
#include "glf/format_number.h"
#include "ofi/translation.h"
#include "text/glyphs.h"

namespace tovrin {
namespace {

constexpr NumberPattern kSizePattern("#####0.0####");

void WriteMove(Translation& tr, double x, double y) {
  const PlotPoint p = ToPlotter(tr, x, y);
  WritePoints(tr.out, "PE<=", {p.x, p.y}, ";");
}

// Character size in centimetres of an OFI length (sign kept).
double SizeCm(const SheetContext& sheet, int64_t length) {
  return static_cast<double>(length) * sheet.DrawingScale / 25 / 1000 * 2.5;
}

// True (and the size recorded) when the family or the size changed.
bool TakeFont(Translation& tr, FontMode mode) {
  CarriedText& j = tr.job.carried_text;
  TextState& t = tr.text();
  if (t.font_mode == mode && j.font_height == j.height && j.font_width == j.width) return false;
  j.font_height = j.height;
  j.font_width = j.width;
  t.font_mode = mode;
  return true;
}

}  // namespace

void MoveToGlyph(Translation& tr) { WriteMove(tr, tr.text().x, tr.text().y); }

void MoveToKanjiGlyph(Translation& tr) {
  const TextState& t = tr.text();
  const double w = std::fabs(static_cast<double>(tr.job.carried_text.width));
  const double h = std::fabs(static_cast<double>(tr.job.carried_text.height));
  const double mx = tr.cfg().kanji_x;
  const double my = tr.cfg().kanji_y;
  const double xk = t.x + w * mx * t.sin_d + h * my * t.cos_d;
  const double yk = t.y - w * mx * t.cos_d - h * my * t.sin_d;
  WriteMove(tr, xk, yk);
}

void SelectSingleByteFont(Translation& tr) {
  if (!TakeFont(tr, FontMode::SingleByte)) return;
  const CarriedText& size = tr.job.carried_text;
  tr.out.Write("SSSI");
  WriteNumber(tr.out, SizeCm(tr.sheet(), size.width), kSizePattern);
  tr.out.WriteRawByte(',');
  WriteNumber(tr.out, SizeCm(tr.sheet(), size.height), kSizePattern);
  tr.out.Write("LM0");
}

void SelectKanjiFont(Translation& tr) {
  if (!TakeFont(tr, FontMode::Kanji)) return;
  const CarriedText& size = tr.job.carried_text;
  const double w = SizeCm(tr.sheet(), size.width) * static_cast<double>(tr.cfg().kanji_width);
  const double h = SizeCm(tr.sheet(), size.height) * static_cast<double>(tr.cfg().kanji_height);
  tr.out.Write("SADV0SI");
  WriteNumber(tr.out, w, kSizePattern);
  tr.out.WriteRawByte(',');
  WriteNumber(tr.out, h, kSizePattern);
  tr.out.Write("LM1");
}

void SwitchByteClass(Translation& tr, ByteClass target) {
  TextState& t = tr.text();
  if (t.byte_class == target) return;
  t.byte_class = target;
  const JobSnapshot& cfg = tr.cfg();
  switch (target) {
    case ByteClass::Alnum: tr.out.Write("SD1,4,6,", cfg.weight_alnum, ";"); break;
    case ByteClass::Symbol: tr.out.Write("SD1,11,6,", cfg.weight_symbol, ";"); break;
    case ByteClass::Kana: tr.out.Write("SD1,43,6,", cfg.weight_kana, ";"); break;
  }
}

}  // namespace tovrin
