// What a click on a main-window label does to its field: pure text rules.
#pragma once

#include <array>
#include <optional>
#include <string>

namespace tovrin {

// "0" → "90" → "180" → "270" → "0"; anything else → "0".
std::string NextRotation(const std::string& text);
// "15" → "0"; otherwise the leading number plus one ("20" → "21", "x" → "1").
std::string NextPen(const std::string& text);
// -7 … 7, then "9999", then "-7"; otherwise the leading number plus one.
std::string NextThickness(const std::string& text);
std::string NextFileSelection(const std::string& text);  // 手動 → 自動 → 手動
std::string NextFinishedFiles(const std::string& text);  // 保存 → 消去 → 保存
std::string NextOutput(const std::string& text);  // ﾌﾟﾛｯﾀ → ﾌｧｲﾙ → ﾌﾟﾛｯﾀ
std::string NextCharacterSet(const std::string& text);  // 半角 → 全角 → 半角
std::string NextCutSheet(const std::string& text);      // 横 → 縦 → 横
// A4 → A3 → A2 → A1 → (A0 with an A0 plotter, else 100); A0 → 100; a
// percentage → A4.
std::string NextReduction(const std::string& text, const std::string& plotter);

bool IsRollPaper(const std::string& plotter);

// One step of the "図面回転" cycle: the next plotter kind with its rotations
// (A4縦, A4横, A3横, A2縦, A2横, A1横, A0横) and cut-sheet orientations
// (A4, A3, A2, A1). `enable` says per cut-sheet column whether its label
// and field become enabled or disabled; nullopt leaves it as it is.
struct PlotterPreset {
  const char* plotter;
  std::array<const char*, 7> rotations;
  std::array<const char*, 4> orientations;
  std::array<std::optional<bool>, 4> enable;
};

const PlotterPreset& NextPlotterPreset(const std::string& plotter);

}  // namespace tovrin
