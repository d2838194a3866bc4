#include "settings/values.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tovrin {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the leading number of `text` starting at `start`, 0 if none.
size_t NumberLength(std::string_view text, size_t start) {
  size_t i = start;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    size_t j = i + 1;
    size_t frac = 0;
    while (j < text.size() && IsDigit(text[j])) ++j, ++frac;
    if (digits + frac > 0) {
      i = j;
      digits += frac;
    }
  }
  if (digits == 0) return 0;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    size_t exp_digits = 0;
    while (j < text.size() && IsDigit(text[j])) ++j, ++exp_digits;
    if (exp_digits > 0) i = j;
  }
  return i - start;
}

size_t SkipBlanks(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  return i;
}

}  // namespace

double LeadingNumber(std::string_view text) {
  size_t start = SkipBlanks(text);
  size_t len = NumberLength(text, start);
  if (len == 0) return 0.0;
  std::string number(text.substr(start, len));
  return std::strtod(number.c_str(), nullptr);
}

bool StartsWithNumber(std::string_view text) { return NumberLength(text, SkipBlanks(text)) > 0; }

std::string GeneralNumber(double value, int max_digits) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";
  if (value == 0) return "0";
  // Fewest digits that give back the value at the requested precision.
  const bool single = max_digits <= 7;
  char buf[64];
  int digits = 1;
  for (; digits < max_digits; ++digits) {
    std::snprintf(buf, sizeof buf, "%.*e", digits - 1, value);
    double back = std::strtod(buf, nullptr);
    if (single ? static_cast<float>(back) == static_cast<float>(value) : back == value) break;
  }
  std::snprintf(buf, sizeof buf, "%.*e", digits - 1, value);
  // buf is "[-]d.ddde[+-]xx": split mantissa digits and exponent.
  std::string s(buf);
  size_t e = s.find('e');
  int exponent = std::atoi(s.c_str() + e + 1);
  std::string mantissa;
  for (size_t i = 0; i < e; ++i)
    if (IsDigit(s[i])) mantissa += s[i];
  while (mantissa.size() > 1 && mantissa.back() == '0') mantissa.pop_back();
  std::string sign = value < 0 ? "-" : "";
  if (exponent < -4 || exponent >= max_digits) {
    std::string out = sign + mantissa.substr(0, 1);
    if (mantissa.size() > 1) out += "." + mantissa.substr(1);
    char exp_text[16];
    std::snprintf(exp_text, sizeof exp_text, "E%c%02d", exponent < 0 ? '-' : '+',
                  std::abs(exponent));
    return out + exp_text;
  }
  std::string out;
  if (exponent < 0) {
    out = "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + mantissa;
  } else if (static_cast<size_t>(exponent) + 1 >= mantissa.size()) {
    out = mantissa + std::string(exponent + 1 - mantissa.size(), '0');
  } else {
    out = mantissa.substr(0, exponent + 1) + "." + mantissa.substr(exponent + 1);
  }
  return sign + out;
}

std::optional<double> ParsePlainDecimal(std::string_view text, bool allow_sign) {
  constexpr size_t kMaxChars = 32;
  if (text.empty() || text.size() > kMaxChars) return std::nullopt;
  size_t i = allow_sign && text[0] == '-' ? 1 : 0;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0 || i != text.size()) return std::nullopt;
  return std::strtod(std::string(text).c_str(), nullptr);
}

std::optional<double> ParseSeconds(std::string_view text, double min, double max) {
  std::optional<double> seconds = ParsePlainDecimal(text);
  if (!seconds || *seconds < min || *seconds > max) return std::nullopt;
  return seconds;
}

int64_t RoundHalfEven(double value) {
  if (!std::isfinite(value)) return 0;
  return static_cast<int64_t>(std::nearbyint(value));  // default mode: ties to even
}

std::optional<int16_t> RoundToInt16(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  double r = std::nearbyint(value);
  if (r < -32768.0 || r > 32767.0) return std::nullopt;
  return static_cast<int16_t>(r);
}

}  // namespace tovrin
