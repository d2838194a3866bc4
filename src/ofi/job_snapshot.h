// The settings a job works from, taken once when the job starts.
#pragma once

#include <string>

#include "settings/plot_settings.h"

namespace tovrin {

struct JobSnapshot {
  PlotSettings settings;  // as captured, UTF-8 texts

  // Texts that go into the GLF, in code page 932 ("?" for characters it
  // cannot encode).
  std::string pen_thick, pen_medium, pen_thin, pen_text, pen_pattern, pen_break;  // "SP" + pen
  std::string weight_full, weight_alnum, weight_symbol, weight_kana;  // LineZ, LineE, LineK, LineH
  std::string rot_a4v, rot_a4h, rot_a3, rot_a2v, rot_a2h, rot_a1, rot_a0;

  // Margins and kanji factors as 32-bit floats; width and height factors are
  // 1 + the setting, computed in float.
  float margin_x = 0, margin_y = 0;
  float kanji_width = 1, kanji_height = 1, kanji_x = 0, kanji_y = 0;

  // The character settings, told once rather than compared per character:
  // MojiE full-width; MojiK full-width, half-width.
  bool alnum_full_width = false;
  bool kana_full_width = false, kana_half_width = false;

  // From the reduction setting: a target paper (ratio 1) or a ratio.
  double reduction_ratio = 0;
  double target_width = 0, target_height = 0;
};

JobSnapshot MakeSnapshot(const PlotSettings& settings);

}  // namespace tovrin
