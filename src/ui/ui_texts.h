// Texts the main window shows or compares, exactly as the users know them.
#pragma once

namespace tovrin::ui_texts {

// Repeat mode deletes finished drawings and saves that in the settings.
inline constexpr const char* kRepeatModeNote =
    "自動出図: 出図の終わった図面は消去します。終了時に Tovrin.sys に"
    "「自動」(OfiFMen) と「消去」(OfiFEnd) を保存します";
inline constexpr const char* kWindowTitle = "Zelk-HPGL2 出図 Ve1.25";

inline constexpr const char* kCreate = "作成";
inline constexpr const char* kFinished = "終了";
inline constexpr const char* kAuto = "自動";
inline constexpr const char* kSeconds = "秒";
inline constexpr const char* kAbort = "中止";
inline constexpr const char* kChangePlotter = "プロッタ    変更";
inline constexpr const char* kHistory = "履歴";

// The setting values are in settings/setting_values.h.

inline constexpr const char* kAllLevels = "9999";

}  // namespace tovrin::ui_texts
