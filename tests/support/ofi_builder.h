// Builds OFI drawings word by word, for tests and the sample drawings.
#pragma once

#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tovrin::test {

class OfiBuilder {
 public:
  static constexpr uint16_t kEscAt = 0x401B;
  static constexpr uint16_t kEscBang = 0x211B;
  static constexpr uint16_t kEscDollar = 0x241B;

  // The 128-byte file header; `header_cp932` goes to bytes 108..127.
  OfiBuilder& Header(std::string_view header_cp932) {
    std::vector<uint8_t> bytes(128, 0);
    for (size_t i = 0; i < header_cp932.size() && 108 + i < 128; ++i)
      bytes[108 + i] = static_cast<uint8_t>(header_cp932[i]);
    for (size_t i = 0; i < 128; i += 2) Word(static_cast<uint16_t>(bytes[i] | (bytes[i + 1] << 8)));
    return *this;
  }

  OfiBuilder& Word(uint16_t w) {
    words_.push_back(w);
    return *this;
  }
  OfiBuilder& Words(std::initializer_list<int> ws) {
    for (int w : ws) Word(static_cast<uint16_t>(w));
    return *this;
  }
  OfiBuilder& Sheet(uint16_t code, std::initializer_list<int> params) {
    Word(kEscBang).Word(code);
    return Words(params);
  }
  OfiBuilder& Draw(uint16_t code, std::initializer_list<int> params) {
    Word(kEscDollar).Word(code);
    return Words(params);
  }

  // Sheet sub-commands.
  OfiBuilder& Scale(int w) { return Sheet(0x0157, {w}); }
  OfiBuilder& PenChoice(int p) { return Sheet(0x0132, {p}); }
  OfiBuilder& SheetRecord(int ex, int ey, int cx, int cy) {
    return Sheet(0x0452, {ex, ey, cx, cy});
  }
  OfiBuilder& Copies(int n) { return Sheet(0x0156, {n}); }
  OfiBuilder& DashUnit(int u) { return Sheet(0x014A, {u}); }

  // Drawing commands.
  OfiBuilder& LineClass(int code) { return Draw(0x0154, {code}); }
  OfiBuilder& TextBlock(bool start) { return Draw(0x0153, {start ? 0x5453 : 0x4445}); }
  OfiBuilder& PatternBlock(bool start) { return Draw(0x0152, {start ? 0x5453 : 0x4445}); }
  OfiBuilder& Line(int x1, int y1, int x2, int y2) { return Draw(0x0444, {x1, y1, x2, y2}); }
  // Points as x, y pairs.
  OfiBuilder& Polyline(std::initializer_list<int> xy) {
    Word(kEscDollar).Word(0xFF44);
    Count(xy.size());
    return Words(xy);
  }
  OfiBuilder& Arc(int x1, int y1, int x2, int y2, int x3, int y3) {
    return Draw(0x0641, {x1, y1, x2, y2, x3, y3});
  }
  // Text: slant and direction in 1/100 degree; sizes and pitch in OFI units.
  OfiBuilder& Slant(int v) { return Draw(0x0149, {v}); }
  OfiBuilder& Direction(int v) { return Draw(0x014A, {v}); }
  OfiBuilder& Size(int w, int h, int pitch) { return Draw(0x0348, {w, h, pitch}); }
  // The long form: each value as two words, low first.
  OfiBuilder& SizePitch(int32_t w, int32_t h, int32_t pitch) {
    Word(kEscDollar).Word(0x0648);
    for (int32_t v : {w, h, pitch}) Count(static_cast<uint32_t>(v));
    return *this;
  }
  // Single-byte codes (code page 932 bytes), two per word, low byte first;
  // an odd count is padded with a space.
  OfiBuilder& ByteText(int x, int y, std::string_view bytes) {
    size_t n = (bytes.size() + 1) / 2 + 2;
    Word(kEscDollar).Word(static_cast<uint16_t>(n << 8 | 0x4B)).Words({x, y});
    for (size_t i = 0; i < bytes.size(); i += 2) {
      uint8_t lo = static_cast<uint8_t>(bytes[i]);
      uint8_t hi = i + 1 < bytes.size() ? static_cast<uint8_t>(bytes[i + 1]) : 0x20;
      Word(static_cast<uint16_t>(lo | hi << 8));
    }
    return *this;
  }
  // One {row, cell} per character; row 0 carries a single-byte code.
  struct RowCell {
    int row, cell;
  };
  OfiBuilder& JisText(int x, int y, std::initializer_list<RowCell> chars) {
    Word(kEscDollar).Word(static_cast<uint16_t>((chars.size() + 2) << 8 | 0x4C)).Words({x, y});
    for (RowCell c : chars) Word(static_cast<uint16_t>(c.row | c.cell << 8));
    return *this;
  }
  // Row and cell of a 7-bit JIS code (0x3F5E).
  static constexpr RowCell Jis(int code) { return {(code >> 8) - 0x20, (code & 0xFF) - 0x20}; }
  OfiBuilder& AnnotationLine(int x1, int y1, int x2, int y2) {
    return Draw(0x044E, {x1, y1, x2, y2});
  }
  OfiBuilder& Palette(int number) { return Draw(0x0143, {number}); }

  // Wide patterned polyline: `start` element T, pattern lengths and `used` (c)
  // in thousandths of an OFI unit, width W, points as x, y pairs.
  OfiBuilder& WidePolyline(int start, std::initializer_list<uint32_t> pattern, uint32_t used,
                           int width, std::initializer_list<int> xy) {
    Word(kEscDollar).Word(0xFF42);
    Count(5 + 2 * pattern.size() + xy.size());
    Word(static_cast<uint16_t>(start)).Word(static_cast<uint16_t>(pattern.size()));
    for (uint32_t p : pattern) Count(p);
    Count(used).Word(static_cast<uint16_t>(width));
    return Words(xy);
  }
  // Wide patterned arc or ring: pattern and `used` in millionths of a radian;
  // P1 = P3 makes a full ring.
  OfiBuilder& WideArc(int start, std::initializer_list<uint32_t> pattern, uint32_t used, int width,
                      int x1, int y1, int x2, int y2, int x3, int y3) {
    Word(kEscDollar).Word(0x0045);
    Word(static_cast<uint16_t>(start)).Word(static_cast<uint16_t>(pattern.size()));
    for (uint32_t p : pattern) Count(p);
    Count(used).Word(static_cast<uint16_t>(width));
    return Words({x1, y1, x2, y2, x3, y3});
  }
  // Filled area: first point, then element words, e.g. {kAreaLine, x, y,
  // kAreaArc, xm, ym, xe, ye, kAreaLoop, x, y, kAreaLine, ...}.
  static constexpr int kAreaLine = 0x86;
  static constexpr int kAreaLoop = 0xC1;
  static constexpr int kAreaArc = 0x85;  // any other code is an arc piece
  OfiBuilder& Area(int x, int y, std::initializer_list<int> elements, int kind = 0) {
    Word(kEscDollar).Word(0xFF50);
    Count(3 + elements.size());
    Words({kind, x, y});
    return Words(elements);
  }
  // N as two words, low first.
  OfiBuilder& Count(size_t n) {
    Word(static_cast<uint16_t>(n & 0xFFFF));
    return Word(static_cast<uint16_t>(n >> 16));
  }

  OfiBuilder& End() { return Word(kEscAt).Word(0x0045); }

  const std::vector<uint16_t>& words() const { return words_; }
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> out;
    out.reserve(words_.size() * 2);
    for (uint16_t w : words_) {
      out.push_back(static_cast<uint8_t>(w & 0xFF));
      out.push_back(static_cast<uint8_t>(w >> 8));
    }
    return out;
  }
  bool Save(const std::string& path) const {
    std::vector<uint8_t> bytes = Bytes();
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
  }

 private:
  std::vector<uint16_t> words_;
};

}  // namespace tovrin::test
