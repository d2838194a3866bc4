#include "ofi/job_snapshot.h"

#include "platform/cp932.h"
#include "settings/setting_values.h"
#include "settings/values.h"

namespace tovrin {
namespace {

void SetReduction(JobSnapshot& snap, const std::string& text) {
  struct Paper {
    const char* name;
    double width, height;
  };
  static const Paper papers[] = {
      {"A4", 297, 210}, {"A3", 420, 297}, {"A2", 594, 420}, {"A1", 840, 594}, {"A0", 1188, 840}};
  for (const Paper& p : papers) {
    if (text == p.name) {
      snap.reduction_ratio = 1;
      snap.target_width = p.width;
      snap.target_height = p.height;
      return;
    }
  }
  snap.reduction_ratio = LeadingNumber(text) / 100;
  snap.target_width = snap.target_height = 0;
}

}  // namespace

JobSnapshot MakeSnapshot(const PlotSettings& s) {
  JobSnapshot snap;
  snap.settings = s;
  auto pen = [](const std::string& text) { return "SP" + ToCp932Lossy(text); };
  snap.pen_thick = pen(s.LineL);
  snap.pen_medium = pen(s.LineM);
  snap.pen_thin = pen(s.LineS);
  snap.pen_text = pen(s.LineT);
  snap.pen_pattern = pen(s.LineP);
  snap.pen_break = pen(s.LineD);
  snap.weight_full = ToCp932Lossy(s.LineZ);
  snap.weight_alnum = ToCp932Lossy(s.LineE);
  snap.weight_symbol = ToCp932Lossy(s.LineK);
  snap.weight_kana = ToCp932Lossy(s.LineH);
  snap.rot_a4v = ToCp932Lossy(s.OfiA4V);
  snap.rot_a4h = ToCp932Lossy(s.OfiA4H);
  snap.rot_a3 = ToCp932Lossy(s.OfiA3);
  snap.rot_a2v = ToCp932Lossy(s.OfiA2V);
  snap.rot_a2h = ToCp932Lossy(s.OfiA2H);
  snap.rot_a1 = ToCp932Lossy(s.OfiA1);
  snap.rot_a0 = ToCp932Lossy(s.OfiA0);
  snap.margin_x = s.OfiMajX;
  snap.margin_y = s.OfiMajY;
  snap.kanji_width = 1.0f + s.MojiW;
  snap.kanji_height = 1.0f + s.MojiH;
  snap.kanji_x = s.MojiX;
  snap.kanji_y = s.MojiY;
  snap.alnum_full_width = s.MojiE == setting_values::kFullWidth;
  snap.kana_full_width = s.MojiK == setting_values::kFullWidth;
  snap.kana_half_width = s.MojiK == setting_values::kHalfWidth;
  SetReduction(snap, s.OfiS);
  return snap;
}

}  // namespace tovrin
