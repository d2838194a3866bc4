// Texts the main window shows or compares, exactly as the users know them.
#pragma once

namespace tovrin::ui_texts {

inline constexpr const char* kWindowTitle = "Zelk-HPGL2 出図 Ve1.25";

inline constexpr const char* kCreate = "作成";
inline constexpr const char* kFinished = "終了";
inline constexpr const char* kAuto = "自動";
inline constexpr const char* kSeconds = "秒";
inline constexpr const char* kAbort = "中止";
inline constexpr const char* kChangePlotter = "プロッタ    変更";
inline constexpr const char* kHistory = "履歴";

inline constexpr const char* kManual = "手動";
inline constexpr const char* kAutomatic = "自動";
inline constexpr const char* kKeep = "保存";
inline constexpr const char* kDelete = "消去";
inline constexpr const char* kToPlotter = "ﾌﾟﾛｯﾀ";
inline constexpr const char* kToFile = "ﾌｧｲﾙ";
inline constexpr const char* kHalfWidth = "半角";
inline constexpr const char* kFullWidth = "全角";
inline constexpr const char* kPortrait = "縦";
inline constexpr const char* kLandscape = "横";

inline constexpr const char* kA0Roll = "A0ﾌﾟﾛｯﾀﾛｰﾙ紙";
inline constexpr const char* kA1Roll = "A1ﾌﾟﾛｯﾀﾛｰﾙ紙";
inline constexpr const char* kA0Cut = "A0ﾌﾟﾛｯﾀｶｯﾄ紙";
inline constexpr const char* kA1Cut = "A1ﾌﾟﾛｯﾀｶｯﾄ紙";

inline constexpr const char* kAllLevels = "9999";

}  // namespace tovrin::ui_texts
