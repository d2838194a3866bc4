// Conversions between setting texts and numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tovrin {

// The numeric value of the text's leading number: leading blanks and tabs are
// skipped, then an optional sign, digits, an optional "." with digits and an
// optional exponent (E or e, optional sign, at least one digit). No number
// gives 0.
double LeadingNumber(std::string_view text);

// True when the text (after leading blanks) starts with a number.
bool StartsWithNumber(std::string_view text);

// The shortest text of the value with at most `max_digits` significant digits
// ("5", "-0.14", "0.5"); very small or large magnitudes take exponent form
// ("1E-05", "1.234568E+07").
std::string GeneralNumber(double value, int max_digits);
inline std::string GeneralNumber(float value) { return GeneralNumber(value, 7); }
inline std::string GeneralNumber(double value) { return GeneralNumber(value, 15); }

// A plain decimal number that is the whole text: digits, optionally a "."
// and more digits, with a leading "-" only when `allow_sign`. No blanks, no
// exponent, nothing after it, at most 32 characters (so never an overflow).
std::optional<double> ParsePlainDecimal(std::string_view text, bool allow_sign = false);

// Seconds as the command lines take them: a plain decimal from `min` to `max`.
std::optional<double> ParseSeconds(std::string_view text, double min, double max);

// Nearest integer, ties to even; nullopt outside -32768..32767 or not finite.
std::optional<int16_t> RoundToInt16(double value);

// Nearest integer, ties to even, as a 64-bit value (0 when not finite).
int64_t RoundHalfEven(double value);

}  // namespace tovrin
