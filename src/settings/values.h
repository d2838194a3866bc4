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

// Nearest integer, ties to even; nullopt outside -32768..32767 or not finite.
std::optional<int16_t> RoundToInt16(double value);

// Nearest integer, ties to even, as a 64-bit value (0 when not finite).
int64_t RoundHalfEven(double value);

}  // namespace tovrin
