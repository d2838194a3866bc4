// Input of the interpreter: PCL framing, decimal parameters and the base-64
// numbers of PE.
#include <algorithm>
#include <cmath>

#include "preview/hpgl_interpreter.h"

namespace tovrin::preview::hpgl {
namespace {

bool IsLetter(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsSeparator(uint8_t c) { return c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

bool Interpreter::Number(double& value) {
  if (ended_) return false;
  while (!AtEnd() && IsSeparator(Byte())) ++pos_;
  if (AtEnd()) return End();
  uint8_t c = Byte();
  if (c == ';') {
    ++pos_;
    return End();
  }
  if (!(c == '+' || c == '-' || c == '.' || (c >= '0' && c <= '9'))) return End();
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    ++pos_;
  }
  double v = 0, scale = 1;
  bool digits = false, point = false;
  while (!AtEnd()) {
    c = Byte();
    if (c >= '0' && c <= '9') {
      digits = true;
      if (point) {
        scale /= 10;
        v += (c - '0') * scale;
      } else if (v < 1e15) {
        v = v * 10 + (c - '0');
      }
      ++pos_;
    } else if (c == '.' && !point) {
      point = true;
      ++pos_;
    } else {
      break;
    }
  }
  if (!digits) return End();
  value = std::clamp(negative ? -v : v, -kMaxCoordinate, kMaxCoordinate);
  return true;
}

bool Interpreter::End() {
  ended_ = true;
  return false;
}

int Interpreter::Numbers(double* out, int n) {
  int got = 0;
  while (got < n && Number(out[got])) ++got;
  return got;
}

void Interpreter::SkipNumbers(int n) {
  double v[8];
  Numbers(v, std::min(n, 8));
}

void Interpreter::SkipRest() {
  if (ended_) return;
  while (!AtEnd()) {
    const uint8_t c = Byte();
    if (c == ';') {
      ++pos_;
      break;
    }
    if (c == kEsc || IsLetter(c)) break;
    if (c == '"') {  // quoted text (BP, CO) may hold anything but a quote
      ++pos_;
      while (!AtEnd() && Byte() != '"') ++pos_;
    }
    if (!AtEnd()) ++pos_;
  }
  ended_ = true;
}

void Interpreter::Escape() {
  ++pos_;
  if (AtEnd()) return;
  const uint8_t c = Byte();
  if (c == 'E') {  // printer reset ends the page
    ++pos_;
    PageBreak();
    return;
  }
  if (c < 0x21 || c > 0x2F) {  // two-character sequence
    ++pos_;
    return;
  }
  // Parameterised: group and value characters up to an upper-case final.
  const uint8_t group = c;
  ++pos_;
  for (int n = 0; !AtEnd() && n < 64; ++n) {
    const uint8_t b = Byte();
    ++pos_;
    if (b >= 0x40 && b <= 0x5E) {
      if (group == '%' && b == 'B') hpgl_ = true;
      if (group == '%' && b == 'A') hpgl_ = false;
      return;
    }
    if (b == kEsc) {
      --pos_;
      return;
    }
  }
}

// One base-64 number of PE: digits least significant first, the last one
// marked by its range. False (and the instruction ends) when malformed.
bool Interpreter::EncodedNumber(bool seven_bit, double& value) {
  const int base_bits = seven_bit ? 5 : 6;
  const uint8_t final_lo = seven_bit ? 95 : 191, final_hi = seven_bit ? 126 : 254;
  const uint8_t digit_hi = seven_bit ? 94 : 126;
  uint64_t n = 0;
  for (int shift = 0; !AtEnd(); shift += base_bits) {
    if (shift > 42) return false;  // beyond any plotter coordinate
    const uint8_t b = Byte();
    if (b >= final_lo && b <= final_hi) {
      ++pos_;
      n |= static_cast<uint64_t>(b - final_lo) << shift;
      const double magnitude = static_cast<double>(n >> 1);
      value = (n & 1) ? -magnitude : magnitude;
      return true;
    }
    if (b < 63 || b > digit_hi) return false;
    ++pos_;
    n |= static_cast<uint64_t>(b - 63) << shift;
  }
  return false;
}

void Interpreter::SkipEncodedRest() {
  while (!AtEnd() && Byte() != ';' && Byte() != kEsc) ++pos_;
  if (!AtEnd() && Byte() == ';') ++pos_;
}

// A coordinate pair of PE: flags before it apply to this move only.
void Interpreter::EncodedMove(double x, double y, bool& pen_up_next, bool& absolute_next) {
  pen_down_ = !pen_up_next;
  if (absolute_next)
    MoveTo(x, y, pen_down_);
  else
    MoveTo(x_ + x, y_ + y, pen_down_);
  pen_up_next = absolute_next = false;
}

namespace {

// An encoded number runs to 48 bits: bounded before it becomes an int.
int ClampedInt(double v, int lo, int hi) {
  if (!(v > lo)) return lo;
  if (v > hi) return hi;
  return static_cast<int>(v);
}

}  // namespace

void Interpreter::PolylineEncoded() {
  bool pen_up_next = false, absolute_next = false, seven_bit = false;
  int fraction_bits = 0;
  bool have_x = false;
  double x = 0;
  while (!AtEnd()) {
    const uint8_t b = Byte();
    if (b == ';') {
      ++pos_;
      break;
    }
    if (b == kEsc) break;
    if (b == '<' || b == '=' || b == '7') {
      pen_up_next |= b == '<';
      absolute_next |= b == '=';
      seven_bit |= b == '7';
      ++pos_;
      continue;
    }
    const bool flag = b == '>' || b == ':';
    const bool digit =
        seven_bit ? (b >= 63 && b <= 126) : ((b >= 63 && b <= 126) || (b >= 191 && b <= 254));
    if (!flag && !digit) {
      ++pos_;  // stray byte: no meaning in PE
      continue;
    }
    if (flag) ++pos_;
    double v = 0;
    if (!EncodedNumber(seven_bit, v)) {
      SkipEncodedRest();
      break;
    }
    if (b == '>') fraction_bits = ClampedInt(v, 0, 26);
    if (b == ':') pen_ = ClampedInt(v, 0, kPens - 1);
    if (flag) continue;
    if (fraction_bits != 0) v = std::ldexp(v, -fraction_bits);
    if (!have_x) {
      x = v;
      have_x = true;
      continue;
    }
    have_x = false;
    EncodedMove(x, v, pen_up_next, absolute_next);
  }
  ended_ = true;
}

}  // namespace tovrin::preview::hpgl
