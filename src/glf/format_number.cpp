#include "glf/format_number.h"

#include "glf/glf_writer.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tovrin {
namespace {

using PatternShape = NumberPattern;

// Decimal digits of |value| at 15 significant digits: digits d1..d15 with the
// point after `point` digits (point may be <= 0 or > 15).
struct Decimal {
  std::string digits;
  int point = 0;
};

Decimal ToDecimal(double magnitude) {
  Decimal d;
  if (magnitude == 0) {
    d.digits = "0";
    d.point = 1;
    return d;
  }
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", magnitude);
  // "d.dddddddddddddde[+-]xx"
  d.digits += buf[0];
  for (int i = 2; i < 16; ++i) d.digits += buf[i];
  d.point = std::atoi(buf + 17) + 1;
  return d;
}

// Rounds the decimal to `places` digits after the point, halves away from
// zero, and returns integer and fraction digit strings.
void RoundDecimal(const Decimal& d, int places, std::string& integer, std::string& fraction) {
  // Lay the digits out as integer part . fraction part with enough zeros.
  std::string all;
  int point = d.point;
  if (point <= 0) {
    all = std::string(static_cast<size_t>(-point) + 1, '0') + d.digits;
    point = 1;
  } else {
    all = d.digits;
    if (static_cast<int>(all.size()) < point) all.append(point - all.size(), '0');
  }
  int keep = point + places;
  if (static_cast<int>(all.size()) < keep) all.append(keep - all.size(), '0');
  bool round_up = static_cast<int>(all.size()) > keep && all[keep] >= '5';
  all.resize(keep);
  if (round_up) {
    int i = keep - 1;
    while (i >= 0 && all[i] == '9') all[i--] = '0';
    if (i >= 0) {
      ++all[i];
    } else {
      all.insert(all.begin(), '1');
      ++point;
    }
  }
  integer = all.substr(0, point);
  fraction = all.substr(point);
}

constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
constexpr uint64_t kIntegerPowers[] = {1,      10,      100,      1000,      10000,
                                       100000, 1000000, 10000000, 100000000, 1000000000};
// 10^0 .. 10^14: a number below 1e15 has as many digits as these it reaches
// (none for 0).
constexpr uint64_t kIntegerPowers15[] = {
    1,           10,           100,           1000,           10000,
    100000,      1000000,      10000000,      100000000,      1000000000,
    10000000000, 100000000000, 1000000000000, 10000000000000, 100000000000000};

// Writes the decimal digits of n so that they end just before `end`;
// returns where they start. No digits for 0.
char* DigitsBefore(char* end, uint64_t n) {
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  while (n >= 100) {
    const uint64_t pair = n % 100;
    n /= 100;
    end -= 2;
    end[0] = kPairs[2 * pair];
    end[1] = kPairs[2 * pair + 1];
  }
  if (n >= 10) {
    end -= 2;
    end[0] = kPairs[2 * n];
    end[1] = kPairs[2 * n + 1];
  } else if (n > 0) {
    *--end = static_cast<char>('0' + n);
  }
  return end;
}

}  // namespace

bool QuickRound(double value, int places, uint64_t& rounded) {
  if (places < 0 || places > 9) return false;
  const double scaled = std::fabs(value) * kPowersOfTen[places];
  if (!(scaled < 1e15)) return false;
  // Not negative and below 2^53: truncation is floor, and the part left
  // over is exact.
  const uint64_t whole = static_cast<uint64_t>(scaled);
  const double part = scaled - static_cast<double>(whole);
  // Taking the value to 15 digits moves it by at most 5e-15 of itself; the
  // multiplication adds far less.
  if (std::fabs(part - 0.5) <= scaled * 1e-13) return false;
  rounded = whole + (part > 0.5 ? 1 : 0);
  return true;
}

namespace {

// Formats `value` at `text`, which has room for kQuickRoom bytes, without
// the decimal expansion when the result cannot differ from the 15-digit
// route; returns the end of the text, or nullptr when that cannot be told.
constexpr size_t kQuickRoom = 1 + 20 + 15 + 1 + 9;  // sign, integer, point, fraction
static_assert(kQuickRoom <= kMaxNumberText);
char* QuickFormat(double value, const PatternShape& shape, char* text) {
  const int places = shape.fraction_digits;
  uint64_t rounded = 0;
  if (shape.min_integer_digits > 20 || !QuickRound(value, places, rounded)) return nullptr;
  // Whole-number patterns skip the division.
  const uint64_t integer = places == 0 ? rounded : rounded / kIntegerPowers[places];
  uint64_t fraction = places == 0 ? 0 : rounded % kIntegerPowers[places];
  // Trailing zeros of the fraction are dropped down to the pattern's minimum.
  int fraction_used = places;
  while (fraction_used > shape.min_fraction_digits && fraction % 10 == 0) {
    fraction /= 10;
    --fraction_used;
  }

  if (value < 0 && rounded != 0) *text++ = '-';
  // Digits are written from their end; a number's width is known first.
  int integer_count = 0;
  while (integer_count < 15 && integer >= kIntegerPowers15[integer_count]) ++integer_count;
  for (int i = integer_count; i < shape.min_integer_digits; ++i) *text++ = '0';
  text += integer_count;
  DigitsBefore(text, integer);
  if (fraction_used > 0) {
    *text++ = '.';
    char* const fraction_end = text + fraction_used;
    for (char* start = DigitsBefore(fraction_end, fraction); text < start;) *text++ = '0';
    text = fraction_end;
  }
  return text;
}

// The 15-digit decimal route, for values the quick one cannot settle.
std::string SlowFormat(double value, const NumberPattern& shape) {
  std::string integer, fraction;
  RoundDecimal(ToDecimal(std::fabs(value)), shape.fraction_digits, integer, fraction);

  size_t first = integer.find_first_not_of('0');
  integer = first == std::string::npos ? "" : integer.substr(first);
  if (static_cast<int>(integer.size()) < shape.min_integer_digits)
    integer.insert(0, shape.min_integer_digits - integer.size(), '0');

  size_t last = fraction.find_last_not_of('0');
  size_t used = last == std::string::npos ? 0 : last + 1;
  if (used < static_cast<size_t>(shape.min_fraction_digits)) used = shape.min_fraction_digits;
  fraction.resize(used);

  bool is_zero = integer.find_first_not_of('0') == std::string::npos &&
                 fraction.find_first_not_of('0') == std::string::npos;
  std::string out = (value < 0 && !is_zero) ? "-" : "";
  out += integer;
  if (!fraction.empty()) out += "." + fraction;
  return out;
}

}  // namespace

std::string FormatNumber(double value, std::string_view pattern) {
  return FormatNumber(value, NumberPattern(pattern));
}

std::string FormatNumber(double value, const NumberPattern& shape) {
  NumberText text;
  FormatNumber(value, shape, text);
  return std::string(std::string_view(text));
}

void FormatNumber(double value, const NumberPattern& shape, NumberText& text) {
  text.size = 0;
  text.spill.clear();
  if (!std::isfinite(value)) {
    text.digits[0] = '0';
    text.size = 1;
    return;
  }
  static_assert(sizeof text.digits >= kQuickRoom);
  if (char* end = QuickFormat(value, shape, text.digits)) {
    text.size = static_cast<size_t>(end - text.digits);
    return;
  }
  text.spill = SlowFormat(value, shape);
}

char* WriteNumberAt(char* at, double value, const NumberPattern& shape) {
  if (std::isfinite(value)) {
    if (char* end = QuickFormat(value, shape, at)) return end;
  }
  NumberText text;
  FormatNumber(value, shape, text);
  const std::string_view digits(text);
  return at + digits.copy(at, digits.size());
}

void WriteNumber(GlfWriter& out, double value, const NumberPattern& shape) {
  out.WriteNumber(value, shape);
}

}  // namespace tovrin
