// The texts the enumerated settings hold, defined once: the job, the text
// translation, the sheet set-up and the windows all compare against these,
// and the checks at the command line and the settings file use the lists.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace tovrin::setting_values {

// OfiFMen: how the drawings of a job are chosen.
inline constexpr const char* kManual = "手動";
inline constexpr const char* kAutomatic = "自動";
// OfiFEnd: what becomes of a finished drawing.
inline constexpr const char* kKeep = "保存";
inline constexpr const char* kDelete = "消去";
// OfiOut: where the GLF goes.
inline constexpr const char* kToPlotter = "ﾌﾟﾛｯﾀ";
inline constexpr const char* kToFile = "ﾌｧｲﾙ";
// MojiK / MojiE: the font of katakana and alphanumerics.
inline constexpr const char* kFullWidth = "全角";
inline constexpr const char* kHalfWidth = "半角";
// OfiB4 … OfiB1: how cut sheets are loaded.
inline constexpr const char* kPortrait = "縦";
inline constexpr const char* kLandscape = "横";
// Plot: the plotter kind.
inline constexpr const char* kA0Roll = "A0ﾌﾟﾛｯﾀﾛｰﾙ紙";
inline constexpr const char* kA1Roll = "A1ﾌﾟﾛｯﾀﾛｰﾙ紙";
inline constexpr const char* kA0Cut = "A0ﾌﾟﾛｯﾀｶｯﾄ紙";
inline constexpr const char* kA1Cut = "A1ﾌﾟﾛｯﾀｶｯﾄ紙";
// OfiA4V … OfiA0: rotations in degrees.
inline constexpr const char* kRotation0 = "0";
inline constexpr const char* kRotation90 = "90";
inline constexpr const char* kRotation180 = "180";
inline constexpr const char* kRotation270 = "270";

// The allowed values of each enumerated setting, in their click-cycle order.
inline constexpr std::array<const char*, 2> kFileSelections = {kManual, kAutomatic};
inline constexpr std::array<const char*, 2> kFinishedFiles = {kKeep, kDelete};
inline constexpr std::array<const char*, 2> kOutputs = {kToPlotter, kToFile};
inline constexpr std::array<const char*, 2> kCharacterSets = {kHalfWidth, kFullWidth};
inline constexpr std::array<const char*, 2> kOrientations = {kLandscape, kPortrait};
inline constexpr std::array<const char*, 4> kPlotters = {kA0Roll, kA1Roll, kA0Cut, kA1Cut};
inline constexpr std::array<const char*, 4> kRotations = {kRotation0, kRotation90, kRotation180,
                                                          kRotation270};

// The allowed values of the setting with this key; empty for settings that
// take any text or a number.
std::span<const char* const> AllowedValues(std::string_view key);

}  // namespace tovrin::setting_values
