// Number formatting with "#"/"0" patterns, halves rounded away from zero.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tovrin {

// The value is first taken to 15 significant decimal digits, then rounded to
// the pattern's last placeholder. "#" digits are written only when
// significant, "0" digits always; a value that rounds to zero has no "-".
// Examples: (2.5, "##") -> "3", (0.5, "###.0####") -> ".5", (0, "########")
// -> "", (-90, "###.0####") -> "-90.0", (2.125, "##0.0####") -> "2.125".
std::string FormatNumber(double value, std::string_view pattern);

// A pattern taken apart once, for callers that format a number per command.
struct NumberPattern {
  int min_integer_digits = 0;   // "0" placeholders left of the point
  int min_fraction_digits = 0;  // up to the last "0" right of the point
  int fraction_digits = 0;      // all placeholders right of the point

  constexpr explicit NumberPattern(std::string_view pattern) {
    bool after_point = false;
    for (char c : pattern) {
      if (c == '.') {
        after_point = true;
      } else if (after_point) {
        ++fraction_digits;
        if (c == '0') min_fraction_digits = fraction_digits;
      } else if (c == '0') {
        ++min_integer_digits;
      }
    }
  }
};

std::string FormatNumber(double value, const NumberPattern& pattern);

// A formatted number without a heap allocation for the usual sizes; only a
// number far beyond any plotter range goes to `spill`.
struct NumberText {
  char digits[64];
  size_t size = 0;
  std::string spill;
  explicit operator std::string_view() const {
    return spill.empty() ? std::string_view(digits, size) : std::string_view(spill);
  }
};

// The magnitude of a finite `value` times 10^places (0..9), rounded as
// FormatNumber rounds it, when that can be told without the 15-digit decimal
// route; false otherwise. FormatNumber's digits are those of `rounded`.
bool QuickRound(double value, int places, uint64_t& rounded);

// The same text as FormatNumber, for callers that format per command.
void FormatNumber(double value, const NumberPattern& pattern, NumberText& text);

class GlfWriter;
// Appends the same text as FormatNumber to the GLF; the digits are written
// when the GLF's bytes are written out.
void WriteNumber(GlfWriter& out, double value, const NumberPattern& pattern);

// The same text as FormatNumber written at `at`, which has room for
// kMaxNumberText bytes; returns its end. For patterns of at most 20 "0"
// placeholders left of the point and 9 right of it: a double has at most
// 309 integer digits.
inline constexpr size_t kMaxNumberText = 1 + 309 + 20 + 1 + 9;
inline constexpr bool FitsNumberText(const NumberPattern& pattern) {
  return pattern.min_integer_digits <= 20 && pattern.fraction_digits <= 9;
}
char* WriteNumberAt(char* at, double value, const NumberPattern& pattern);

// The fewest bytes FormatNumber can write for `value`: a finite one gets
// the pattern's "0" placeholders (and the point before those of the
// fraction), any other "0".
inline size_t LeastNumberText(double value, const NumberPattern& pattern) {
  if (!std::isfinite(value)) return 1;
  const int fraction = pattern.min_fraction_digits;
  return static_cast<size_t>(pattern.min_integer_digits + (fraction > 0 ? fraction + 1 : 0));
}

}  // namespace tovrin
