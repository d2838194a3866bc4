// The display list of the interpreter: strokes, arcs, circles and polygons.
#include <algorithm>
#include <cmath>
#include <vector>

#include "preview/hpgl_interpreter.h"

namespace tovrin::preview::hpgl {

bool Interpreter::Budget(size_t points) {
  if (pic_.points.size() + points > limits_.max_points || pic_.items.size() >= limits_.max_items) {
    pic_.truncated = true;
    return false;
  }
  return true;
}

uint32_t Interpreter::StyleIndex() {
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

double Interpreter::PatternLength() const {
  if (line_mode_ == 1) return line_length_ * kUnitsPerMm;
  // Asked for every stroke; the plot area seldom changes.
  const double dx = p2x_ - p1x_, dy = p2y_ - p1y_;
  if (!(dx == diagonal_dx_ && dy == diagonal_dy_)) {
    diagonal_dx_ = dx;
    diagonal_dy_ = dy;
    diagonal_ = std::hypot(dx, dy);
  }
  return line_length_ / 100 * diagonal_;
}

// A pen-down segment between plotter points; joins the open run when it
// continues it in the same style.
void Interpreter::Segment(Point a, Point b) {
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

void Interpreter::PageBreak() {
  CloseRun();
  if (!pic_.items.empty() || emitted_items_ > 0) page_done_ = true;
  counted_page_ = false;
}

// Drawing after the first page is counted, not drawn.
void Interpreter::NoteLaterPage() {
  if (page_done_ && !counted_page_) {
    ++pic_.extra_pages;
    counted_page_ = true;
  }
}

// Moves to the user point (ux, uy) with the pen up or down.
void Interpreter::MoveTo(double ux, double uy, bool down) {
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

void Interpreter::PolygonMove(Point from, Point to, bool down) {
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

void Interpreter::StartLoop(Point at) {
  polygon_.emplace_back();
  polygon_.back().push_back(at);
  ++polygon_points_;
  loop_open_ = true;
}

// Number of chords for an arc of `radius_units` plotter units over
// `sweep_deg`: within 0.1 mm of the true arc (finer than a pen), at most
// 10 degrees each, never more than 2048.
int Interpreter::ArcSteps(double radius_units, double sweep_deg) {
  constexpr double kTolerance = 4.0;  // plotter units from the true arc
  double step = 10.0;
  if (radius_units > kTolerance)
    step = std::clamp(2 * std::acos(1 - kTolerance / radius_units) * 180 / kPi, 0.2, 10.0);
  return std::clamp(static_cast<int>(std::ceil(std::abs(sweep_deg) / step)), 1, 2048);
}

// Arc about the user point (cx, cy) from the current position.
void Interpreter::Arc(double cx, double cy, double sweep_deg) {
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
void Interpreter::Circle(double r) {
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

void Interpreter::FillPolygon(bool even_odd) {
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
    pic_.loops.push_back(
        {static_cast<uint32_t>(pic_.points.size()), static_cast<uint32_t>(loop.size())});
    pic_.points.insert(pic_.points.end(), loop.begin(), loop.end());
  }
  item.count = static_cast<uint32_t>(pic_.loops.size()) - item.first;
  pic_.items.push_back(item);
}

void Interpreter::EdgePolygon() {
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

void Interpreter::PenMoves(bool down) {
  pen_down_ = down;
  double xy[2];
  while (Numbers(xy, 2) == 2) {
    if (absolute_)
      MoveTo(xy[0], xy[1], down);
    else
      MoveTo(x_ + xy[0], y_ + xy[1], down);
  }
}

void Interpreter::PlotAbsolute() {
  absolute_ = true;
  PenMoves(pen_down_);
}

void Interpreter::PlotRelative() {
  absolute_ = false;
  PenMoves(pen_down_);
}

void Interpreter::ArcInstruction(bool relative) {
  double v[4];
  if (Numbers(v, 4) < 3) return;
  if (relative) {
    v[0] += x_;
    v[1] += y_;
  }
  Arc(v[0], v[1], v[2]);
}

void Interpreter::CircleInstruction() {
  double v[2];
  if (Numbers(v, 2) >= 1) Circle(v[0]);
}

void Interpreter::PolygonMode() {
  double v[1];
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
}

void Interpreter::FillInstruction() {
  double v[1];
  FillPolygon(!(Numbers(v, 1) == 1 && v[0] == 1));
}

}  // namespace tovrin::preview::hpgl
