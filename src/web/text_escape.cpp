#include "web/text_escape.h"

#include <cstdint>

namespace tovrin::web {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 sequence at `at` and its code point;
// 0 when the byte there does not start one.
size_t Sequence(std::string_view s, size_t at, char32_t& cp) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
  const uint8_t lead = byte(at);
  if (lead < 0x80) {
    cp = lead;
    return 1;
  }
  size_t length = 0;
  char32_t min = 0;
  if (lead >= 0xC2 && lead <= 0xDF)
    length = 2, min = 0x80, cp = lead & 0x1F;
  else if (lead >= 0xE0 && lead <= 0xEF)
    length = 3, min = 0x800, cp = lead & 0x0F;
  else if (lead >= 0xF0 && lead <= 0xF4)
    length = 4, min = 0x10000, cp = lead & 0x07;
  else
    return 0;
  if (at + length > s.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(at + i) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

// Calls `emit` with each code point's bytes, or with U+FFFD for a byte that
// starts no well-formed sequence (one replacement per such byte).
template <typename Emit>
void ForEachCodePoint(std::string_view s, Emit emit) {
  for (size_t at = 0; at < s.size();) {
    char32_t cp = 0;
    const size_t length = Sequence(s, at, cp);
    if (length == 0) {
      emit(0xFFFD, kReplacement);
      ++at;
    } else {
      emit(cp, s.substr(at, length));
      at += length;
    }
  }
}

bool IsControl(char32_t cp) { return cp < 0x20 || cp == 0x7F; }

void AppendHex4(std::string& out, unsigned value) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xF];
}

}  // namespace

std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  ForEachCodePoint(text, [&](char32_t, std::string_view bytes) { out += bytes; });
  return out;
}

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  ForEachCodePoint(text, [&](char32_t cp, std::string_view bytes) {
    switch (cp) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      case '\t':
      case '\n': out += bytes; break;
      default: out += IsControl(cp) ? kReplacement : bytes;
    }
  });
  return out;
}

std::string JsonQuoted(std::string_view text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  ForEachCodePoint(text, [&](char32_t cp, std::string_view bytes) {
    switch (cp) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '<':
      case '>':
      case '&':
      case 0x2028:
      case 0x2029: AppendHex4(out, static_cast<unsigned>(cp)); break;
      default:
        if (IsControl(cp))
          AppendHex4(out, static_cast<unsigned>(cp));
        else
          out += bytes;
    }
  });
  out += '"';
  return out;
}

std::string PercentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    const auto b = static_cast<uint8_t>(c);
    const bool plain = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
                       b == '-' || b == '.' || b == '_' || b == '~';
    if (plain) {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    }
  }
  return out;
}

}  // namespace tovrin::web
