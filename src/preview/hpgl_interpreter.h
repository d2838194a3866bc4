// The HP-GL/2 interpreter behind ParseGlf, shared by its rooms: input and
// numbers (hpgl_numbers.cpp), set-up and pens (hpgl_setup.cpp), moves and
// shapes (hpgl_drawing.cpp), fonts and labels (hpgl_labels.cpp); the
// instruction table is in hpgl_parser.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "preview/hpgl_parser.h"
#include "preview/label_text.h"
#include "preview/plot_picture.h"

namespace tovrin::preview::hpgl {

inline constexpr double kPi = 3.14159265358979;
inline constexpr double kUnitsPerMm = 40.0;
inline constexpr double kUnitsPerCm = 400.0;
inline constexpr double kMaxCoordinate = 1073741823.0;  // the HP-GL/2 integer range
inline constexpr uint8_t kEsc = 0x1B;
inline constexpr int kPens = 256;
// Default HP-GL/2 pen widths are 0.35 mm; the preview draws a little finer.
inline constexpr double kDefaultPenWidthMm = 0.3;

constexpr int Mnemonic(char a, char b) { return a << 8 | b; }

// A font definition (SD / AD) as far as the preview needs it.
struct FontDef {
  int symbol_set = 277;
  double pitch = 9;  // characters per inch
  double height_pt = 11.5;
};

class Interpreter {
 public:
  Interpreter(std::string_view in, const ParseLimits& limits);
  PlotPicture Run();
  // Hands the display list to `sink` in pieces instead of keeping it.
  void Stream(const PictureSink& sink, size_t piece_items, size_t piece_points);

 private:
  // ---- input and numbers (hpgl_numbers.cpp) -------------------------------
  uint8_t Byte(size_t ahead = 0) const { return static_cast<uint8_t>(in_[pos_ + ahead]); }
  bool AtEnd() const { return pos_ >= in_.size(); }
  // Next decimal parameter; false at the end of the instruction (";", the
  // next mnemonic, ESC, the end of input, or a malformed number).
  bool Number(double& value);
  bool End();
  // Reads up to `n` parameters; returns how many were read.
  int Numbers(double* out, int n);
  // Skips what is left of the instruction: up to ";", the next mnemonic or ESC.
  void SkipRest();
  void Escape();
  // Reads up to `n` parameters and drops them.
  void SkipNumbers(int n);
  bool EncodedNumber(bool seven_bit, double& value);
  void SkipEncodedRest();

  // ---- the instruction table (hpgl_parser.cpp) ----------------------------
  void Step();
  void Instruction(int m);
  void Finish();
  void EmitPiece(const PictureSink& sink);

  // ---- set-up, pens and line types (hpgl_setup.cpp) -----------------------
  void ResetState();
  static uint32_t DefaultColour(int pen) { return pen == 0 ? 0xFFFFFF : 0x000000; }
  void UpdateScaling();
  double PlotX(double ux) const { return ax_ * ux + bx_; }
  double PlotY(double uy) const { return ay_ * uy + by_; }
  Point ToPlot(double ux, double uy) const {
    return {static_cast<float>(PlotX(ux)), static_cast<float>(PlotY(uy))};
  }
  Box PaperBox() const;
  void Defaults();     // DF
  void PlotSize();     // PS
  void Rotate();       // RO
  void InputWindow();  // IP
  void Scale();        // SC
  void SelectPen();    // SP
  void PenColour();    // PC
  void PenWidth();     // PW
  void LineType();     // LT
  void Replot();       // RP

  // ---- display list, moves and shapes (hpgl_drawing.cpp) ------------------
  bool Drawing() const { return pen_ != 0 && !page_done_; }
  bool Budget(size_t points);
  uint32_t StyleIndex();
  double PatternLength() const;
  void CloseRun() { run_open_ = false; }
  void Segment(Point a, Point b);
  void PageBreak();
  void NoteLaterPage();
  void MoveTo(double ux, double uy, bool down);
  void PolygonMove(Point from, Point to, bool down);
  void StartLoop(Point at);
  static int ArcSteps(double radius_units, double sweep_deg);
  void Arc(double cx, double cy, double sweep_deg);
  void Circle(double r);
  void FillPolygon(bool even_odd);
  void EdgePolygon();
  void PenMoves(bool down);
  void PlotAbsolute();                 // PA
  void PlotRelative();                 // PR
  void ArcInstruction(bool relative);  // AA, AR
  void CircleInstruction();            // CI
  void PolygonMode();                  // PM
  void FillInstruction();              // FP
  void PolylineEncoded();              // PE
  void EncodedMove(double x, double y, bool& pen_up_next, bool& absolute_next);

  // ---- fonts and labels (hpgl_labels.cpp) ---------------------------------
  void ResetFonts();
  void DefineFont(FontDef& f);      // SD, AD
  void SelectFont(bool alternate);  // SS, SA
  const FontDef& Font() const { return use_alternate_ ? alternate_ : standard_; }
  // Character body width and height in plotter units.
  std::pair<double, double> CharSize() const;
  // Moves the user position by a plotter-unit offset.
  void Advance(double dx, double dy);
  void AddLabel(const std::string& text, Label::Face face, double w, double h);
  void CharacterSize();     // SI
  void Direction();         // DI, DR
  void Slant();             // SL
  void ExtraSpace();        // ES
  void LabelMode();         // LM
  void Terminator();        // DT
  void LabelInstruction();  // LB

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
  // P1 to P2 for PatternLength, kept from the last time it was worked out.
  mutable double diagonal_dx_ = 0, diagonal_dy_ = 0, diagonal_ = 0;
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
  size_t emitted_items_ = 0;  // items already handed on in pieces
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

}  // namespace tovrin::preview::hpgl
