#include "settings/setting_checks.h"

#include <cmath>
#include <cstdint>
#include <span>

#include "settings/setting_values.h"
#include "settings/values.h"

namespace tovrin {
namespace {

// Half-width forms of the full-width katakana U+30A1 … U+30F4; nullptr
// where there is none.
constexpr const char* kHalfKatakana[] = {
    "ｧ",  "ｱ",  "ｨ", "ｲ",  "ｩ",  "ｳ",  "ｪ",  "ｴ",     "ｫ",  "ｵ",     "ｶ",     "ｶﾞ", "ｷ",  "ｷﾞ",
    "ｸ",  "ｸﾞ", "ｹ", "ｹﾞ", "ｺ",  "ｺﾞ", "ｻ",  "ｻﾞ",    "ｼ",  "ｼﾞ",    "ｽ",     "ｽﾞ", "ｾ",  "ｾﾞ",
    "ｿ",  "ｿﾞ", "ﾀ", "ﾀﾞ", "ﾁ",  "ﾁﾞ", "ｯ",  "ﾂ",     "ﾂﾞ", "ﾃ",     "ﾃﾞ",    "ﾄ",  "ﾄﾞ", "ﾅ",
    "ﾆ",  "ﾇ",  "ﾈ", "ﾉ",  "ﾊ",  "ﾊﾞ", "ﾊﾟ", "ﾋ",     "ﾋﾞ", "ﾋﾟ",    "ﾌ",     "ﾌﾞ", "ﾌﾟ", "ﾍ",
    "ﾍﾞ", "ﾍﾟ", "ﾎ", "ﾎﾞ", "ﾎﾟ", "ﾏ",  "ﾐ",  "ﾑ",     "ﾒ",  "ﾓ",     "ｬ",     "ﾔ",  "ｭ",  "ﾕ",
    "ｮ",  "ﾖ",  "ﾗ", "ﾘ",  "ﾙ",  "ﾚ",  "ﾛ",  nullptr, "ﾜ",  nullptr, nullptr, "ｦ",  "ﾝ",  "ｳﾞ",
};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one UTF-8 character at `i`, advancing it; a stray byte stands for itself.
char32_t NextChar(std::string_view s, size_t& i) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = b(i);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || i + n > s.size()) {
    ++i;
    return 0xFFFD;
  }
  char32_t value = n == 1 ? c : c & (0x7F >> n);
  for (size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    value = (value << 6) | (b(i + k) & 0x3F);
  }
  i += n;
  return value;
}

// The half-width form of one character, appended to `out`.
void AppendNarrow(std::string& out, char32_t c) {
  if (c >= 0x30A1 && c <= 0x30F4 && kHalfKatakana[c - 0x30A1]) {
    out += kHalfKatakana[c - 0x30A1];
  } else if (c == 0x30FC) {
    out += "ｰ";
  } else if (c == 0x30FB) {
    out += "･";
  } else if (c == 0x3099 || c == 0x309B) {
    out += "ﾞ";
  } else if (c == 0x309A || c == 0x309C) {
    out += "ﾟ";
  } else if (c >= 0xFF01 && c <= 0xFF5E) {
    out += static_cast<char>(c - 0xFF01 + 0x21);
  } else {
    AppendUtf8(out, c);
  }
}

bool IsBlank(char32_t c) { return c == ' ' || c == '\t' || c == 0x3000; }

// ---- numeric settings given on the command line ---------------------------

struct NumberRule {
  const char* key;
  double min, max;
  bool whole;         // integers only
  double also = NAN;  // one more allowed value outside the range
};

// Pens and stroke levels are held as text but are numbers to the plotter.
constexpr NumberRule kNumberRules[] = {
    {"OfiMajX", 0, 1000, false},  {"OfiMajY", 0, 1000, false},  {"LineL", 0, 15, true},
    {"LineM", 0, 15, true},       {"LineS", 0, 15, true},       {"LineT", 0, 15, true},
    {"LineP", 0, 15, true},       {"LineD", 0, 15, true},       {"LineZ", -7, 7, true, 9999},
    {"LineE", -7, 7, true, 9999}, {"LineK", -7, 7, true, 9999}, {"LineH", -7, 7, true, 9999},
    {"MojiW", -10, 10, false},    {"MojiH", -10, 10, false},    {"MojiX", -10, 10, false},
    {"MojiY", -10, 10, false},    {"OfiMh", 0, 10000, false},   {"OfiMw", 0, 10000, false},
};
constexpr double kMaxColour = 0xFFFFFF;

std::optional<NumberRule> RuleFor(const SettingInfo& info) {
  for (const NumberRule& rule : kNumberRules)
    if (std::string_view(rule.key) == info.key) return rule;
  if (info.kind() == SettingKind::Double) return NumberRule{info.key, 0, kMaxColour, true};
  if (info.kind() == SettingKind::Position) return NumberRule{info.key, -32768, 32767, true};
  return std::nullopt;
}

std::string RangeText(const NumberRule& rule) {
  std::string text = (rule.whole ? "a whole number from " : "a number from ") +
                     GeneralNumber(rule.min) + " to " + GeneralNumber(rule.max);
  if (!std::isnan(rule.also)) text += " or " + GeneralNumber(rule.also);
  return text;
}

CheckedSetting CheckNumber(const NumberRule& rule, std::string_view text) {
  std::string narrow = NarrowSettingText(text);
  std::optional<double> value = ParsePlainDecimal(narrow, true);
  bool ok = value && (*value == rule.also || (*value >= rule.min && *value <= rule.max &&
                                              (!rule.whole || *value == std::floor(*value))));
  if (!ok)
    return {std::nullopt, std::string(rule.key) + "=\"" + std::string(text) + "\": " + rule.key +
                              " takes " + RangeText(rule)};
  return {narrow, {}};
}

// OfiS: a percentage or the paper to fit to.
constexpr double kMaxReduction = 10000;

CheckedSetting CheckReduction(std::string_view text) {
  std::string narrow = NarrowSettingText(text);
  for (const char* paper : {"A4", "A3", "A2", "A1", "A0"})
    if (narrow == paper) return {narrow, {}};
  std::optional<double> value = ParsePlainDecimal(narrow);
  if (value && *value > 0 && *value <= kMaxReduction) return {narrow, {}};
  return {std::nullopt,
          "OfiS=\"" + std::string(text) +
              "\": OfiS takes a percentage above 0 up to 10000, or A4, A3, A2, A1, A0"};
}

}  // namespace

std::string NarrowSettingText(std::string_view text) {
  std::string out;
  size_t i = 0;
  std::string pending_blanks;  // inner blanks are kept, trailing ones dropped
  while (i < text.size()) {
    size_t start = i;
    char32_t c = NextChar(text, i);
    if (IsBlank(c)) {
      if (!out.empty()) pending_blanks.append(text.substr(start, i - start));
      continue;
    }
    out += pending_blanks;
    pending_blanks.clear();
    AppendNarrow(out, c);
  }
  return out;
}

std::optional<std::string> AllowedValueFor(const SettingInfo& info, std::string_view text) {
  std::span<const char* const> allowed = setting_values::AllowedValues(info.key);
  if (allowed.empty()) return std::string(text);
  for (const char* value : allowed)
    if (text == value) return std::string(value);
  std::string narrow = NarrowSettingText(text);
  for (const char* value : allowed)
    if (narrow == value) return std::string(value);
  return std::nullopt;
}

std::string AllowedList(const SettingInfo& info) {
  std::string list;
  for (const char* value : setting_values::AllowedValues(info.key))
    list += (list.empty() ? "" : ", ") + std::string(value);
  return list;
}

CheckedSetting CheckCommandLineValue(const SettingInfo& info, std::string_view text) {
  if (!setting_values::AllowedValues(info.key).empty()) {
    if (std::optional<std::string> value = AllowedValueFor(info, text)) return {value, {}};
    return {std::nullopt, std::string(info.key) + "=\"" + std::string(text) + "\": " + info.key +
                              " takes one of " + AllowedList(info)};
  }
  if (std::string_view(info.key) == "OfiS") return CheckReduction(text);
  if (std::optional<NumberRule> rule = RuleFor(info)) return CheckNumber(*rule, text);
  return {std::string(text), {}};
}

}  // namespace tovrin
