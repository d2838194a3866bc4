// Every user setting, named by its configuration key.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace tovrin {

struct PlotSettings {
  std::string OfiFile;
  float OfiMajX = 5;
  float OfiMajY = 17;
  std::string OfiA4V = "0";
  std::string OfiA4H = "90";
  std::string OfiA3 = "0";
  std::string OfiA2V = "0";
  std::string OfiA2H = "90";
  std::string OfiA1 = "0";
  std::string OfiA0 = "90";
  std::string Plot = "A0ﾌﾟﾛｯﾀﾛｰﾙ紙";
  std::string OfiB4 = "横";
  std::string OfiB3 = "横";
  std::string OfiB2 = "横";
  std::string OfiB1 = "横";
  std::string LineL = "3";
  std::string LineM = "2";
  std::string LineS = "1";
  std::string LineT = "1";
  std::string LineP = "1";
  std::string LineD = "2";
  std::string LineZ = "2";
  std::string LineE = "-3";
  std::string LineK = "2";
  std::string LineH = "2";
  std::string OfiS = "100";
  std::string MojiK = "全角";
  std::string MojiE = "全角";
  float MojiW = 0;
  float MojiH = 0;
  float MojiX = 0;
  float MojiY = -0.14f;
  double OfiMh = 20;
  double OfiMw = 10;
  double OfiC1 = 65280;
  double OfiC2 = 16776960;
  double OfiC3 = 255;
  double OfiC4 = 65535;
  double OfiC5 = 11206911;
  double OfiC6 = 5570304;
  double OfiC7 = 5524223;
  double OfiC8 = 19199;
  double OfiC9 = 16730624;
  double OfiCA = 16711680;
  double OfiCB = 5505098;
  std::string OfiFMen = "手動";
  std::string OfiFEnd = "保存";
  std::string OfiOut = "ﾌﾟﾛｯﾀ";
  std::string Hprn;
  int16_t OfiTop = 1250;
  int16_t OfiLeft = 1150;
  int16_t FilTop = 1250;
  int16_t FilLeft = 1150;
  int16_t PrnTop = 1250;
  int16_t PrnLeft = 1150;

  // Every setting at its default; `OfiFile` is the start folder.
  static PlotSettings Defaults(const std::string& start_folder);

  // Palette colour 1..11 (0x00BBGGRR as loaded); 0 outside that range.
  double PaletteColour(int number) const;
};

enum class SettingKind { Text, Float, Double, Position };

using SettingMember = std::variant<std::string PlotSettings::*, float PlotSettings::*,
                                   double PlotSettings::*, int16_t PlotSettings::*>;

struct SettingInfo {
  const char* key;
  SettingMember member;
  int padding;          // blanks before the comment: padding - value length (file layout)
  const char* comment;  // comment text of the configuration file line
  SettingKind kind() const { return static_cast<SettingKind>(member.index()); }
};

inline constexpr size_t kSettingCount = 55;

// All settings in configuration-file order.
const std::array<SettingInfo, kSettingCount>& SettingTable();

// The entry for `key` (exact, case-sensitive), or nullptr.
const SettingInfo* FindSetting(std::string_view key);

// Sets one setting from a text as the configuration file holds it: texts as
// they are, numbers by their leading numeric value, window positions rounded
// to 16-bit integers (ties to even). False when a position is out of range.
bool ApplySettingText(PlotSettings& settings, const SettingInfo& info, std::string_view text);

// The value in the general number format (numbers) or as it stands (texts).
std::string SettingText(const PlotSettings& settings, const SettingInfo& info);

}  // namespace tovrin
