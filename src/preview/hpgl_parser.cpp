#include "preview/hpgl_parser.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "preview/label_text.h"

namespace tovrin::preview {
namespace {

constexpr double kPi = 3.14159265358979;
constexpr double kUnitsPerMm = 40.0;
constexpr double kUnitsPerCm = 400.0;
constexpr double kMaxCoordinate = 1073741823.0;  // the HP-GL/2 integer range
constexpr uint8_t kEsc = 0x1B;
constexpr int kPens = 256;

constexpr int Mnemonic(char a, char b) { return a << 8 | b; }

bool IsLetter(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
uint8_t Upper(uint8_t c) { return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 32) : c; }
bool IsSeparator(uint8_t c) { return c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\n'; }

// A font definition (SD / AD) as far as the preview needs it.
struct FontDef {
  int symbol_set = 277;
  double pitch = 9;        // characters per inch
  double height_pt = 11.5;
};

// Default HP-GL/2 pen widths are 0.35 mm; the preview draws a little finer.
constexpr double kDefaultPenWidthMm = 0.3;

class Parser {
 public:
  Parser(std::string_view in, const ParseLimits& limits) : in_(in), limits_(limits) {
    ResetState();
    // A PE move takes two to six bytes; growing the lists as they fill
    // would copy them over and over.
    pic_.points.reserve(std::min(limits_.max_points, in.size() / 2));
    pic_.items.reserve(in.size() / 8);
  }

  PlotPicture Run() {
    while (pos_ < in_.size()) {
      const uint8_t c = Byte();
      if (c == kEsc) {
        Escape();
      } else if (!hpgl_) {
        ++pos_;  // PCL text outside HP-GL/2 is not drawn
      } else if (IsLetter(c) && pos_ + 1 < in_.size() && IsLetter(Byte(1))) {
        const int m = Mnemonic(static_cast<char>(Upper(c)), static_cast<char>(Upper(Byte(1))));
        pos_ += 2;
        ended_ = false;
        Instruction(m);
        SkipRest();
      } else {
        ++pos_;
      }
    }
    CloseRun();
    if (paper_known_) pic_.paper = PaperBox();
    return std::move(pic_);
  }

 private:
  // ---- input -------------------------------------------------------------

  uint8_t Byte(size_t ahead = 0) const { return static_cast<uint8_t>(in_[pos_ + ahead]); }
  bool AtEnd() const { return pos_ >= in_.size(); }

  // Next decimal parameter; false at the end of the instruction (";", the
  // next mnemonic, ESC, the end of input, or a malformed number).
  bool Number(double& value) {
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

  bool End() {
    ended_ = true;
    return false;
  }

  // Reads up to `n` parameters; returns how many were read.
  int Numbers(double* out, int n) {
    int got = 0;
    while (got < n && Number(out[got])) ++got;
    return got;
  }

  // Skips what is left of the instruction: up to ";", the next mnemonic or ESC.
  void SkipRest() {
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

  // ---- PCL framing -------------------------------------------------------

  void Escape() {
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

  // ---- state -------------------------------------------------------------

  void ResetState() {
    for (int p = 0; p < kPens; ++p) {
      pen_rgb_[p] = DefaultColour(p);
      pen_width_[p] = kDefaultPenWidthMm;
    }
    pen_ = 1;
    line_type_ = 0;
    line_length_ = 4;
    line_mode_ = 0;
    p1x_ = p1y_ = 0;
    p2x_ = media_length_ > 0 ? media_length_ : 11880;
    p2y_ = media_width_ > 0 ? media_width_ : 8400;
    scaling_ = false;
    UpdateScaling();
    rotation_ = 0;
    x_ = y_ = 0;
    pen_down_ = false;
    absolute_ = true;
    polygon_mode_ = false;
    polygon_.clear();
    loop_open_ = false;
    ResetFonts();
    CloseRun();
  }

  void ResetFonts() {
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

  static uint32_t DefaultColour(int pen) {
    return pen == 0 ? 0xFFFFFF : 0x000000;
  }

  // ---- coordinates -------------------------------------------------------

  void UpdateScaling() {
    ax_ = ay_ = 1;
    bx_ = by_ = 0;
    if (!scaling_) return;
    const double dx = p2x_ - p1x_, dy = p2y_ - p1y_;
    if (sc_type_ == 2) {
      ax_ = sc_[1];
      ay_ = sc_[3];
      bx_ = p1x_ - sc_[0] * ax_;
      by_ = p1y_ - sc_[2] * ay_;
      return;
    }
    const double ux = sc_[1] - sc_[0], uy = sc_[3] - sc_[2];
    if (ux == 0 || uy == 0) {
      scaling_ = false;
      return;
    }
    ax_ = dx / ux;
    ay_ = dy / uy;
    double ox = 0, oy = 0;
    if (sc_type_ == 1) {  // isotropic: the smaller factor, the rest shared out
      const double s = std::min(std::abs(ax_), std::abs(ay_));
      const double nax = std::copysign(s, ax_), nay = std::copysign(s, ay_);
      ox = (dx - nax * ux) * sc_left_ / 100;
      oy = (dy - nay * uy) * sc_bottom_ / 100;
      ax_ = nax;
      ay_ = nay;
    }
    bx_ = p1x_ + ox - sc_[0] * ax_;
    by_ = p1y_ + oy - sc_[2] * ay_;
  }

  double PlotX(double ux) const { return ax_ * ux + bx_; }
  double PlotY(double uy) const { return ay_ * uy + by_; }
  Point ToPlot(double ux, double uy) const {
    return {static_cast<float>(PlotX(ux)), static_cast<float>(PlotY(uy))};
  }

  Box PaperBox() const {
    Box b;
    b.Add(p1x_, p1y_);
    b.Add(p2x_, p2y_);
    return b;
  }

  // ---- display list ------------------------------------------------------

  bool Drawing() const { return pen_ != 0 && !page_done_; }

  bool Budget(size_t points) {
    if (pic_.points.size() + points > limits_.max_points) {
      pic_.truncated = true;
      return false;
    }
    return true;
  }

  uint32_t StyleIndex() {
    Style s;
    s.rgb = pen_rgb_[pen_];
    s.width_mm = pen_width_[pen_];
    s.line_type = line_type_;
    if (line_type_ != 0) s.pattern_length = PatternLength();
    const auto key = std::make_tuple(s.rgb, s.width_mm, s.line_type, s.pattern_length);
    if (last_style_valid_ && key == last_style_key_) return last_style_id_;
    last_style_valid_ = true;
    last_style_key_ = key;
    if (auto it = style_ids_.find(key); it != style_ids_.end()) return last_style_id_ = it->second;
    const auto id = static_cast<uint32_t>(pic_.styles.size());
    pic_.styles.push_back(s);
    style_ids_.emplace(key, id);
    return last_style_id_ = id;
  }

  double PatternLength() const {
    if (line_mode_ == 1) return line_length_ * kUnitsPerMm;
    return line_length_ / 100 * std::hypot(p2x_ - p1x_, p2y_ - p1y_);
  }

  void CloseRun() { run_open_ = false; }

  // A pen-down segment between plotter points; joins the open run when it
  // continues it in the same style.
  void Segment(Point a, Point b) {
    if (!Drawing()) return;
    const uint32_t style = StyleIndex();
    if (run_open_ && run_style_ == style && pic_.items.back().kind == Item::Kind::Polyline &&
        pic_.points.back().x == a.x && pic_.points.back().y == a.y) {
      if (!Budget(1)) return;
      pic_.points.push_back(b);
      ++pic_.items.back().count;
      return;
    }
    if (!Budget(2)) return;
    Item item;
    item.kind = Item::Kind::Polyline;
    item.style = style;
    item.first = static_cast<uint32_t>(pic_.points.size());
    item.count = 2;
    pic_.points.push_back(a);
    pic_.points.push_back(b);
    pic_.items.push_back(item);
    run_open_ = true;
    run_style_ = style;
  }

  void PageBreak() {
    CloseRun();
    if (!pic_.items.empty()) page_done_ = true;
    counted_page_ = false;
  }

  // Drawing after the first page is counted, not drawn.
  void NoteLaterPage() {
    if (page_done_ && !counted_page_) {
      ++pic_.extra_pages;
      counted_page_ = true;
    }
  }

  // ---- moves -------------------------------------------------------------

  // Moves to the user point (ux, uy) with the pen up or down.
  void MoveTo(double ux, double uy, bool down) {
    if (!std::isfinite(ux) || !std::isfinite(uy)) return;
    ux = std::clamp(ux, -kMaxCoordinate, kMaxCoordinate);
    uy = std::clamp(uy, -kMaxCoordinate, kMaxCoordinate);
    const Point from = ToPlot(x_, y_), to = ToPlot(ux, uy);
    x_ = ux;
    y_ = uy;
    if (polygon_mode_) {
      PolygonMove(from, to, down);
      return;
    }
    if (!down) {
      CloseRun();
      return;
    }
    if (page_done_) NoteLaterPage();
    Segment(from, to);
  }

  void PolygonMove(Point from, Point to, bool down) {
    if (!down) {
      if (loop_open_ && polygon_.back().size() > 1) loop_open_ = false;
      if (loop_open_) polygon_.back().back() = to;
      return;
    }
    if (!loop_open_) StartLoop(from);
    if (polygon_points_ >= limits_.max_points) {
      pic_.truncated = true;
      return;
    }
    polygon_.back().push_back(to);
    ++polygon_points_;
  }

  void StartLoop(Point at) {
    polygon_.emplace_back();
    polygon_.back().push_back(at);
    ++polygon_points_;
    loop_open_ = true;
  }

  // Number of chords for an arc of `radius_units` plotter units over
  // `sweep_deg`: within 0.1 mm of the true arc (finer than a pen), at most
  // 10 degrees each, never more than 2048.
  static int ArcSteps(double radius_units, double sweep_deg) {
    constexpr double kTolerance = 4.0;  // plotter units from the true arc
    double step = 10.0;
    if (radius_units > kTolerance)
      step = std::clamp(2 * std::acos(1 - kTolerance / radius_units) * 180 / kPi, 0.2, 10.0);
    return std::clamp(static_cast<int>(std::ceil(std::abs(sweep_deg) / step)), 1, 2048);
  }

  // Arc about the user point (cx, cy) from the current position.
  void Arc(double cx, double cy, double sweep_deg) {
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(sweep_deg)) return;
    sweep_deg = std::clamp(sweep_deg, -360.0, 360.0);
    const double r = std::hypot(x_ - cx, y_ - cy);
    const double a0 = std::atan2(y_ - cy, x_ - cx);
    const int steps = ArcSteps(r * std::max(std::abs(ax_), std::abs(ay_)), sweep_deg);
    const double end_x = cx + r * std::cos(a0 + sweep_deg * kPi / 180);
    const double end_y = cy + r * std::sin(a0 + sweep_deg * kPi / 180);
    for (int i = 1; i < steps; ++i) {
      const double a = a0 + sweep_deg * kPi / 180 * i / steps;
      MoveTo(cx + r * std::cos(a), cy + r * std::sin(a), pen_down_);
    }
    MoveTo(end_x, end_y, pen_down_);
  }

  // Circle about the current position; the pen comes back to the centre.
  void Circle(double r) {
    if (!std::isfinite(r)) return;
    r = std::abs(r);
    const int steps = ArcSteps(r * std::max(std::abs(ax_), std::abs(ay_)), 360);
    std::vector<Point> ring;
    ring.reserve(steps + 1);
    for (int i = 0; i <= steps; ++i) {
      const double a = 2 * kPi * i / steps;
      ring.push_back(ToPlot(x_ + r * std::cos(a), y_ + r * std::sin(a)));
    }
    if (polygon_mode_) {
      if (polygon_points_ + ring.size() > limits_.max_points) {
        pic_.truncated = true;
        return;
      }
      loop_open_ = false;
      polygon_.push_back(std::move(ring));
      polygon_points_ += steps + 1;
      return;
    }
    CloseRun();
    if (page_done_) NoteLaterPage();
    for (int i = 0; i < steps; ++i) Segment(ring[i], ring[i + 1]);
    CloseRun();
  }

  // ---- polygons ----------------------------------------------------------

  void FillPolygon(bool even_odd) {
    if (!Drawing()) {
      NoteLaterPage();
      return;
    }
    size_t total = 0;
    for (const auto& loop : polygon_)
      if (loop.size() > 2) total += loop.size();
    if (total == 0 || !Budget(total)) return;
    CloseRun();
    Item item;
    item.kind = Item::Kind::Polygon;
    item.even_odd = even_odd;
    item.style = StyleIndex();
    item.first = static_cast<uint32_t>(pic_.loops.size());
    for (const auto& loop : polygon_) {
      if (loop.size() <= 2) continue;
      pic_.loops.push_back({static_cast<uint32_t>(pic_.points.size()),
                            static_cast<uint32_t>(loop.size())});
      pic_.points.insert(pic_.points.end(), loop.begin(), loop.end());
    }
    item.count = static_cast<uint32_t>(pic_.loops.size()) - item.first;
    pic_.items.push_back(item);
  }

  void EdgePolygon() {
    if (!Drawing()) {
      NoteLaterPage();
      return;
    }
    for (const auto& loop : polygon_) {
      if (loop.size() < 2) continue;
      CloseRun();
      for (size_t i = 0; i + 1 < loop.size(); ++i) Segment(loop[i], loop[i + 1]);
      const Point& a = loop.back();
      const Point& b = loop.front();
      if (loop.size() > 2 && (a.x != b.x || a.y != b.y)) Segment(a, b);
    }
    CloseRun();
  }

  // ---- labels ------------------------------------------------------------

  const FontDef& Font() const { return use_alternate_ ? alternate_ : standard_; }

  // Character body width and height in plotter units.
  std::pair<double, double> CharSize() const {
    if (size_set_) return {char_w_ * kUnitsPerCm, char_h_ * kUnitsPerCm};
    const FontDef& f = Font();
    const double cell_mm = f.pitch > 0 ? 25.4 / f.pitch : 2.8;
    return {cell_mm / 1.5 * kUnitsPerMm, f.height_pt * 0.3528 * 0.7 * kUnitsPerMm};
  }

  // Moves the user position by a plotter-unit offset.
  void Advance(double dx, double dy) {
    if (ax_ != 0) x_ += dx / ax_;
    if (ay_ != 0) y_ += dy / ay_;
  }

  void AddLabel(const std::string& text, Label::Face face, double w, double h) {
    if (!Drawing()) {
      NoteLaterPage();
      return;
    }
    if (pic_.labels.size() >= limits_.max_labels) {
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

  void LabelInstruction() {
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

  void DefineFont(FontDef& f) {
    double v[2];
    while (Numbers(v, 2) == 2) {
      const int kind = static_cast<int>(v[0]);
      if (kind == 1) f.symbol_set = static_cast<int>(v[1]);
      if (kind == 3 && v[1] > 0) f.pitch = v[1];
      if (kind == 4 && v[1] > 0) f.height_pt = v[1];
    }
  }

  // ---- instructions ------------------------------------------------------

  void PenMoves(bool down) {
    pen_down_ = down;
    double xy[2];
    while (Numbers(xy, 2) == 2) {
      if (absolute_)
        MoveTo(xy[0], xy[1], down);
      else
        MoveTo(x_ + xy[0], y_ + xy[1], down);
    }
  }

  void PolylineEncoded();
  bool EncodedNumber(bool seven_bit, double& value);

  void Instruction(int m) {
    double v[8];
    switch (m) {
      case Mnemonic('I', 'N'):
        ResetState();
        break;
      case Mnemonic('D', 'F'):
        ResetFonts();
        line_type_ = 0;
        polygon_mode_ = false;
        break;
      case Mnemonic('B', 'P'):
        break;
      case Mnemonic('P', 'S'):
        if (int n = Numbers(v, 2); n >= 1) {
          media_length_ = std::abs(v[0]);
          media_width_ = n == 2 ? std::abs(v[1]) : media_length_;
          pic_.media = {};
          pic_.media.Add(0, 0);
          pic_.media.Add(media_length_, media_width_);
          p1x_ = p1y_ = 0;
          p2x_ = media_length_;
          p2y_ = media_width_;
          paper_known_ = true;
          UpdateScaling();
        }
        break;
      case Mnemonic('R', 'O'):
        if (Numbers(v, 1) == 1) {
          const int r = static_cast<int>(v[0]);
          if (r == 0 || r == 90 || r == 180 || r == 270) rotation_ = r;
        } else {
          rotation_ = 0;
        }
        pic_.rotation = rotation_;
        break;
      case Mnemonic('I', 'P'): {
        const int n = Numbers(v, 4);
        if (n == 2 || n == 4) {
          const double w = p2x_ - p1x_, h = p2y_ - p1y_;
          p1x_ = v[0];
          p1y_ = v[1];
          p2x_ = n == 4 ? v[2] : v[0] + w;
          p2y_ = n == 4 ? v[3] : v[1] + h;
          paper_known_ = true;
        }
        UpdateScaling();
        break;
      }
      case Mnemonic('S', 'C'): {
        const int n = Numbers(v, 7);
        if (n >= 4) {
          std::copy(v, v + 4, sc_.begin());
          sc_type_ = n >= 5 ? static_cast<int>(v[4]) : 0;
          sc_left_ = n >= 6 ? std::clamp(v[5], 0.0, 100.0) : 50;
          sc_bottom_ = n >= 7 ? std::clamp(v[6], 0.0, 100.0) : 50;
          scaling_ = true;
        } else {
          scaling_ = false;
        }
        UpdateScaling();
        break;
      }
      case Mnemonic('S', 'P'):
        pen_ = Numbers(v, 1) == 1 ? std::clamp(static_cast<int>(v[0]), 0, kPens - 1) : 0;
        break;
      case Mnemonic('P', 'C'): {
        const int n = Numbers(v, 4);
        if (n == 0) {
          for (int p = 0; p < kPens; ++p) pen_rgb_[p] = DefaultColour(p);
        } else {
          const int pen = std::clamp(static_cast<int>(v[0]), 0, kPens - 1);
          if (n < 4) {
            pen_rgb_[pen] = DefaultColour(pen);
          } else {
            auto c = [&](double x) { return static_cast<uint32_t>(std::clamp(x, 0.0, 255.0)); };
            pen_rgb_[pen] = c(v[1]) << 16 | c(v[2]) << 8 | c(v[3]);
          }
        }
        break;
      }
      case Mnemonic('P', 'W'): {
        const int n = Numbers(v, 2);
        const double w = n >= 1 ? std::clamp(v[0], 0.0, 100.0) : kDefaultPenWidthMm;
        if (n == 2)
          pen_width_[std::clamp(static_cast<int>(v[1]), 0, kPens - 1)] = w;
        else
          std::fill(pen_width_.begin(), pen_width_.end(), w);
        break;
      }
      case Mnemonic('L', 'T'): {
        const int n = Numbers(v, 3);
        if (n == 0) {
          line_type_ = 0;
        } else {
          const int type = static_cast<int>(std::abs(v[0]));
          if (type > 8 || (n >= 2 && v[1] <= 0)) break;  // out of range: ignored
          line_type_ = type;
          if (n >= 2) {  // without a length the last one stays
            line_length_ = v[1];
            line_mode_ = n >= 3 && v[2] == 1 ? 1 : 0;
          }
        }
        break;
      }
      case Mnemonic('P', 'A'):
        absolute_ = true;
        PenMoves(pen_down_);
        break;
      case Mnemonic('P', 'R'):
        absolute_ = false;
        PenMoves(pen_down_);
        break;
      case Mnemonic('P', 'D'):
        PenMoves(true);
        break;
      case Mnemonic('P', 'U'):
        PenMoves(false);
        break;
      case Mnemonic('P', 'E'):
        PolylineEncoded();
        break;
      case Mnemonic('A', 'A'):
      case Mnemonic('A', 'R'):
        if (Numbers(v, 4) >= 3) {
          if (m == Mnemonic('A', 'R')) {
            v[0] += x_;
            v[1] += y_;
          }
          Arc(v[0], v[1], v[2]);
        }
        break;
      case Mnemonic('C', 'I'):
        if (Numbers(v, 2) >= 1) Circle(v[0]);
        break;
      case Mnemonic('P', 'M'): {
        const int mode = Numbers(v, 1) == 1 ? static_cast<int>(v[0]) : 0;
        if (mode == 0) {
          CloseRun();
          polygon_.clear();
          polygon_points_ = 0;
          polygon_mode_ = true;
          StartLoop(ToPlot(x_, y_));
        } else if (mode == 1 || mode == 2) {
          loop_open_ = false;
          if (mode == 2) polygon_mode_ = false;
        }
        break;
      }
      case Mnemonic('F', 'P'):
        FillPolygon(!(Numbers(v, 1) == 1 && v[0] == 1));
        break;
      case Mnemonic('E', 'P'):
        EdgePolygon();
        break;
      case Mnemonic('P', 'G'):
        PageBreak();
        break;
      case Mnemonic('R', 'P'):
        if (Numbers(v, 1) == 1) pic_.copies = 1 + std::clamp(static_cast<int>(v[0]), 0, 32767);
        break;
      case Mnemonic('S', 'D'):
        DefineFont(standard_);
        break;
      case Mnemonic('A', 'D'):
        DefineFont(alternate_);
        break;
      case Mnemonic('S', 'S'):
        use_alternate_ = false;
        break;
      case Mnemonic('S', 'A'):
        use_alternate_ = true;
        break;
      case Mnemonic('S', 'I'):
        if (Numbers(v, 2) == 2) {
          size_set_ = true;
          char_w_ = v[0];
          char_h_ = v[1];
        } else {
          size_set_ = false;
        }
        break;
      case Mnemonic('D', 'I'):
      case Mnemonic('D', 'R'):
        if (Numbers(v, 2) == 2) {
          if (v[0] != 0 || v[1] != 0) direction_ = std::atan2(v[1], v[0]);
        } else {
          direction_ = 0;
        }
        break;
      case Mnemonic('D', 'V'):
        Numbers(v, 2);  // vertical stacking is not written by this system
        break;
      case Mnemonic('S', 'L'):
        slant_ = Numbers(v, 1) == 1 ? std::clamp(v[0], -100.0, 100.0) : 0;
        break;
      case Mnemonic('E', 'S'):
        extra_space_ = Numbers(v, 2) >= 1 ? std::clamp(v[0], -100.0, 100.0) : 0;
        break;
      case Mnemonic('L', 'M'):
        two_byte_ = Numbers(v, 2) >= 1 && v[0] == 1;
        break;
      case Mnemonic('D', 'T'):
        // The terminator is the character right after DT.
        if (!AtEnd() && Byte() != ';') {
          terminator_ = Byte();
          ++pos_;
        } else {
          terminator_ = 0x03;
        }
        break;
      case Mnemonic('L', 'B'):
        LabelInstruction();
        break;
      default:
        ++pic_.unknown_instructions;
        break;
    }
  }

  std::string_view in_;
  ParseLimits limits_;
  size_t pos_ = 0;
  bool ended_ = false;
  bool hpgl_ = true;
  PlotPicture pic_;

  std::array<uint32_t, kPens> pen_rgb_{};
  std::array<double, kPens> pen_width_{};
  int pen_ = 1;
  int line_type_ = 0;
  double line_length_ = 4;
  int line_mode_ = 0;
  using StyleKey = std::tuple<uint32_t, double, int, double>;
  std::map<StyleKey, uint32_t> style_ids_;
  bool last_style_valid_ = false;
  StyleKey last_style_key_{};
  uint32_t last_style_id_ = 0;

  double p1x_ = 0, p1y_ = 0, p2x_ = 0, p2y_ = 0;
  double media_length_ = 0, media_width_ = 0;
  bool paper_known_ = false;
  bool scaling_ = false;
  std::array<double, 4> sc_{};
  int sc_type_ = 0;
  double sc_left_ = 50, sc_bottom_ = 50;
  double ax_ = 1, ay_ = 1, bx_ = 0, by_ = 0;
  int rotation_ = 0;

  double x_ = 0, y_ = 0;
  bool pen_down_ = false;
  bool absolute_ = true;
  bool run_open_ = false;
  uint32_t run_style_ = 0;
  bool page_done_ = false;
  bool counted_page_ = false;

  bool polygon_mode_ = false;
  std::vector<std::vector<Point>> polygon_;
  size_t polygon_points_ = 0;
  bool loop_open_ = false;

  FontDef standard_, alternate_;
  bool use_alternate_ = false;
  bool size_set_ = false;
  double char_w_ = 0, char_h_ = 0;
  double direction_ = 0;
  double slant_ = 0;
  double extra_space_ = 0;
  bool two_byte_ = false;
  uint8_t terminator_ = 0x03;
  JisDecoder jis_;
};

// One base-64 number of PE: digits least significant first, the last one
// marked by its range. False (and the instruction ends) when malformed.
bool Parser::EncodedNumber(bool seven_bit, double& value) {
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

void Parser::PolylineEncoded() {
  bool pen_up_next = false, absolute_next = false, seven_bit = false;
  int fraction_bits = 0;
  bool have_x = false;
  double x = 0;
  auto skip_to_end = [&] {
    while (!AtEnd() && Byte() != ';' && Byte() != kEsc) ++pos_;
    if (!AtEnd() && Byte() == ';') ++pos_;
  };
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
    if (b == '>' || b == ':') {
      ++pos_;
      double v = 0;
      if (!EncodedNumber(seven_bit, v)) {
        skip_to_end();
        break;
      }
      if (b == '>') fraction_bits = std::clamp(static_cast<int>(v), 0, 26);
      if (b == ':') pen_ = std::clamp(static_cast<int>(v), 0, kPens - 1);
      continue;
    }
    const bool digit = seven_bit ? (b >= 63 && b <= 126) : ((b >= 63 && b <= 126) || (b >= 191 && b <= 254));
    if (!digit) {
      ++pos_;  // stray byte: no meaning in PE
      continue;
    }
    double v = 0;
    if (!EncodedNumber(seven_bit, v)) {
      skip_to_end();
      break;
    }
    v = std::ldexp(v, -fraction_bits);
    if (!have_x) {
      x = v;
      have_x = true;
      continue;
    }
    have_x = false;
    pen_down_ = !pen_up_next;
    if (absolute_next)
      MoveTo(x, v, pen_down_);
    else
      MoveTo(x_ + x, y_ + v, pen_down_);
    pen_up_next = absolute_next = false;
  }
  ended_ = true;
}

}  // namespace

PlotPicture ParseGlf(std::string_view bytes, const ParseLimits& limits) {
  return Parser(bytes, limits).Run();
}

}  // namespace tovrin::preview
