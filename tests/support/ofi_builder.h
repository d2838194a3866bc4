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
  OfiBuilder& SheetRecord(int ex, int ey, int cx, int cy) { return Sheet(0x0452, {ex, ey, cx, cy}); }
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
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
  }

 private:
  std::vector<uint16_t> words_;
};

}  // namespace tovrin::test
