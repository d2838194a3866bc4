// Why a drawing cannot be plotted: shown in the job log under "　出図中止".
#pragma once

namespace tovrin::texts {

inline constexpr const char* kBadScale = "図面の尺度が0以下です（尺度・縮小率を確認してください）";
inline constexpr const char* kEmptySheet = "用紙の大きさが0です";
inline constexpr const char* kNegativeMargin = "プロッタの余白が負の値です";
inline constexpr const char* kNoPaperFits = "どの用紙にも収まりません";
inline constexpr const char* kFitFailed = "用紙に合わせる倍率が計算できません";
inline constexpr const char* kCoordinateRange = "座標が大きすぎます（縮小率を確認してください）";
inline constexpr const char* kNotANumber = "数値が計算できません（設定を確認してください）";

}  // namespace tovrin::texts
