// Fonts and labels of the interpreter: every character becomes a label of
// its own, placed as the plotter would place it.
#include <algorithm>
#include <cmath>
#include <string>

#include "preview/hpgl_interpreter.h"

namespace tovrin::preview::hpgl {

void Interpreter::ResetFonts() {
  standard_ = FontDef{};
  alternate_ = FontDef{};
  use_alternate_ = false;
  size_set_ = false;
  char_w_ = char_h_ = 0;
  direction_ = 0;
  slant_ = 0;
  extra_space_ = 0;
  two_byte_ = false;
  terminator_ = 0x03;
}

void Interpreter::DefineFont(FontDef& f) {
  double v[2];
  while (Numbers(v, 2) == 2) {
    const int kind = static_cast<int>(v[0]);
    if (kind == 1) f.symbol_set = static_cast<int>(v[1]);
    if (kind == 3 && v[1] > 0) f.pitch = v[1];
    if (kind == 4 && v[1] > 0) f.height_pt = v[1];
  }
}

// Character body width and height in plotter units.
std::pair<double, double> Interpreter::CharSize() const {
  if (size_set_) return {char_w_ * kUnitsPerCm, char_h_ * kUnitsPerCm};
  const FontDef& f = Font();
  const double cell_mm = f.pitch > 0 ? 25.4 / f.pitch : 2.8;
  return {cell_mm / 1.5 * kUnitsPerMm, f.height_pt * 0.3528 * 0.7 * kUnitsPerMm};
}

// Moves the user position by a plotter-unit offset.
void Interpreter::Advance(double dx, double dy) {
  if (ax_ != 0) x_ += dx / ax_;
  if (ay_ != 0) y_ += dy / ay_;
}

void Interpreter::AddLabel(const std::string& text, Label::Face face, double w, double h) {
  if (!Drawing()) {
    NoteLaterPage();
    return;
  }
  if (pic_.labels.size() >= limits_.max_labels || pic_.items.size() >= limits_.max_items) {
    pic_.truncated = true;
    return;
  }
  CloseRun();
  Label l;
  l.origin = ToPlot(x_, y_);
  l.text = text;
  l.width = w;
  l.height = h;
  l.direction = direction_;
  l.slant = slant_;
  l.face = face;
  l.style = StyleIndex();
  Item item;
  item.kind = Item::Kind::Label;
  item.style = l.style;
  item.first = static_cast<uint32_t>(pic_.labels.size());
  item.count = 1;
  pic_.labels.push_back(std::move(l));
  pic_.items.push_back(item);
}

void Interpreter::LabelInstruction() {
  const auto [w, h] = CharSize();
  const double c = std::cos(direction_), s = std::sin(direction_);
  const double advance = 1.5 * w * (1 + extra_space_);
  const double start_x = x_, start_y = y_;
  size_t chars = 0;
  auto step = [&] { Advance(advance * c, advance * s); };
  while (!AtEnd()) {
    const uint8_t b = Byte();
    if (two_byte_) {
      // Pairs; the terminator comes as 0x00 and the terminator byte.
      if (b == terminator_) {
        ++pos_;
        break;
      }
      if (pos_ + 1 >= in_.size()) {
        pos_ = in_.size();
        break;
      }
      const uint8_t b2 = Byte(1);
      pos_ += 2;
      if (b == 0 && b2 == terminator_) break;
      if (++chars > limits_.max_label_chars) continue;
      if (b == 0 && b2 == ' ') {
        step();
        continue;
      }
      AddLabel(jis_.Decode(b, b2), Label::Face::Kanji, w, h);
      step();
      continue;
    }
    ++pos_;
    if (b == terminator_) break;
    if (++chars > limits_.max_label_chars) continue;
    if (b == '\r') {  // back to the start of the line
      x_ = start_x;
      y_ = start_y;
      continue;
    }
    if (b == '\n') {
      Advance(2 * h * s, -2 * h * c);
      continue;
    }
    if (b == ' ') {
      step();
      continue;
    }
    std::string text = SingleByteChar(b, Font().symbol_set);
    if (text.empty()) continue;
    const Label::Face face = IsHalfWidthKana(text) ? Label::Face::HalfKana : Label::Face::Fixed;
    AddLabel(text, face, w, h);
    step();
  }
  ended_ = true;  // nothing of LB is left to skip
}

void Interpreter::SelectFont(bool alternate) { use_alternate_ = alternate; }

void Interpreter::CharacterSize() {
  double v[2];
  if (Numbers(v, 2) == 2) {
    size_set_ = true;
    char_w_ = v[0];
    char_h_ = v[1];
  } else {
    size_set_ = false;
  }
}

void Interpreter::Direction() {
  double v[2];
  if (Numbers(v, 2) == 2) {
    if (v[0] != 0 || v[1] != 0) direction_ = std::atan2(v[1], v[0]);
  } else {
    direction_ = 0;
  }
}

void Interpreter::Slant() {
  double v[1];
  slant_ = Numbers(v, 1) == 1 ? std::clamp(v[0], -100.0, 100.0) : 0;
}

void Interpreter::ExtraSpace() {
  double v[2];
  extra_space_ = Numbers(v, 2) >= 1 ? std::clamp(v[0], -100.0, 100.0) : 0;
}

void Interpreter::LabelMode() {
  double v[2];
  two_byte_ = Numbers(v, 2) >= 1 && v[0] == 1;
}

// The terminator is the character right after DT.
void Interpreter::Terminator() {
  if (!AtEnd() && Byte() != ';') {
    terminator_ = Byte();
    ++pos_;
  } else {
    terminator_ = 0x03;
  }
}

}  // namespace tovrin::preview::hpgl
