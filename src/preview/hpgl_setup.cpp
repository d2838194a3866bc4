// Set-up of the interpreter: the plot area and scaling, pens and line types.
#include <algorithm>
#include <cmath>

#include "preview/hpgl_interpreter.h"

namespace tovrin::preview::hpgl {

void Interpreter::ResetState() {
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

void Interpreter::UpdateScaling() {
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

Box Interpreter::PaperBox() const {
  Box b;
  b.Add(p1x_, p1y_);
  b.Add(p2x_, p2y_);
  return b;
}

void Interpreter::Defaults() {
  ResetFonts();
  line_type_ = 0;
  polygon_mode_ = false;
}

void Interpreter::PlotSize() {
  double v[2];
  const int n = Numbers(v, 2);
  if (n < 1) return;
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

void Interpreter::Rotate() {
  double v[1];
  if (Numbers(v, 1) == 1) {
    const int r = static_cast<int>(v[0]);
    if (r == 0 || r == 90 || r == 180 || r == 270) rotation_ = r;
  } else {
    rotation_ = 0;
  }
  pic_.rotation = rotation_;
}

void Interpreter::InputWindow() {
  double v[4];
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
}

void Interpreter::Scale() {
  double v[7];
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
}

void Interpreter::SelectPen() {
  double v[1];
  pen_ = Numbers(v, 1) == 1 ? std::clamp(static_cast<int>(v[0]), 0, kPens - 1) : 0;
}

void Interpreter::PenColour() {
  double v[4];
  const int n = Numbers(v, 4);
  if (n == 0) {
    for (int p = 0; p < kPens; ++p) pen_rgb_[p] = DefaultColour(p);
    return;
  }
  const int pen = std::clamp(static_cast<int>(v[0]), 0, kPens - 1);
  if (n < 4) {
    pen_rgb_[pen] = DefaultColour(pen);
    return;
  }
  auto c = [&](double x) { return static_cast<uint32_t>(std::clamp(x, 0.0, 255.0)); };
  pen_rgb_[pen] = c(v[1]) << 16 | c(v[2]) << 8 | c(v[3]);
}

void Interpreter::PenWidth() {
  double v[2];
  const int n = Numbers(v, 2);
  const double w = n >= 1 ? std::clamp(v[0], 0.0, 100.0) : kDefaultPenWidthMm;
  if (n == 2)
    pen_width_[std::clamp(static_cast<int>(v[1]), 0, kPens - 1)] = w;
  else
    std::fill(pen_width_.begin(), pen_width_.end(), w);
}

void Interpreter::LineType() {
  double v[3];
  const int n = Numbers(v, 3);
  if (n == 0) {
    line_type_ = 0;
    return;
  }
  const int type = static_cast<int>(std::abs(v[0]));
  if (type > 8 || (n >= 2 && v[1] <= 0)) return;  // out of range: ignored
  line_type_ = type;
  if (n >= 2) {  // without a length the last one stays
    line_length_ = v[1];
    line_mode_ = n >= 3 && v[2] == 1 ? 1 : 0;
  }
}

void Interpreter::Replot() {
  double v[1];
  if (Numbers(v, 1) == 1) pic_.copies = 1 + std::clamp(static_cast<int>(v[0]), 0, 32767);
}

}  // namespace tovrin::preview::hpgl
