#include "preview/hpgl_parser.h"

#include <algorithm>

#include "preview/hpgl_interpreter.h"

namespace tovrin::preview {
namespace hpgl {
namespace {

bool IsLetter(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
uint8_t Upper(uint8_t c) { return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 32) : c; }

}  // namespace

Interpreter::Interpreter(std::string_view in, const ParseLimits& limits)
    : in_(in), limits_(limits) {
  ResetState();
  // A PE move takes two to six bytes; growing the lists as they fill would
  // copy them over and over.
  pic_.points.reserve(std::min(limits_.max_points, in.size() / 2));
  pic_.items.reserve(std::min(limits_.max_items, in.size() / 8));
}

PlotPicture Interpreter::Run() {
  while (pos_ < in_.size()) Step();
  Finish();
  return std::move(pic_);
}

void Interpreter::Stream(const PictureSink& sink, size_t piece_items, size_t piece_points) {
  while (pos_ < in_.size()) {
    Step();
    if (pic_.items.size() >= piece_items || pic_.points.size() >= piece_points) EmitPiece(sink);
  }
  Finish();
  sink(pic_, pos_);
}

void Interpreter::EmitPiece(const PictureSink& sink) {
  CloseRun();                                 // the next stroke starts an item of the next piece
  if (paper_known_) pic_.paper = PaperBox();  // the sheet as it stands so far
  sink(pic_, pos_);
  emitted_items_ += pic_.items.size();
  pic_.points.clear();
  pic_.loops.clear();
  pic_.labels.clear();
  pic_.items.clear();
}

// One byte, escape sequence or instruction.
void Interpreter::Step() {
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

void Interpreter::Finish() {
  CloseRun();
  if (paper_known_) pic_.paper = PaperBox();
}

void Interpreter::Instruction(int m) {
  switch (m) {
    case Mnemonic('I', 'N'): return ResetState();
    case Mnemonic('D', 'F'): return Defaults();
    case Mnemonic('B', 'P'): return;
    case Mnemonic('P', 'S'): return PlotSize();
    case Mnemonic('R', 'O'): return Rotate();
    case Mnemonic('I', 'P'): return InputWindow();
    case Mnemonic('S', 'C'): return Scale();
    case Mnemonic('S', 'P'): return SelectPen();
    case Mnemonic('P', 'C'): return PenColour();
    case Mnemonic('P', 'W'): return PenWidth();
    case Mnemonic('L', 'T'): return LineType();
    case Mnemonic('P', 'A'): return PlotAbsolute();
    case Mnemonic('P', 'R'): return PlotRelative();
    case Mnemonic('P', 'D'): return PenMoves(true);
    case Mnemonic('P', 'U'): return PenMoves(false);
    case Mnemonic('P', 'E'): return PolylineEncoded();
    case Mnemonic('A', 'A'): return ArcInstruction(false);
    case Mnemonic('A', 'R'): return ArcInstruction(true);
    case Mnemonic('C', 'I'): return CircleInstruction();
    case Mnemonic('P', 'M'): return PolygonMode();
    case Mnemonic('F', 'P'): return FillInstruction();
    case Mnemonic('E', 'P'): return EdgePolygon();
    case Mnemonic('P', 'G'): return PageBreak();
    case Mnemonic('R', 'P'): return Replot();
    case Mnemonic('S', 'D'): return DefineFont(standard_);
    case Mnemonic('A', 'D'): return DefineFont(alternate_);
    case Mnemonic('S', 'S'): return SelectFont(false);
    case Mnemonic('S', 'A'): return SelectFont(true);
    case Mnemonic('S', 'I'): return CharacterSize();
    case Mnemonic('D', 'I'): return Direction();
    case Mnemonic('D', 'R'): return Direction();
    case Mnemonic('D', 'V'): return SkipNumbers(2);  // vertical stacking is not written here
    case Mnemonic('S', 'L'): return Slant();
    case Mnemonic('E', 'S'): return ExtraSpace();
    case Mnemonic('L', 'M'): return LabelMode();
    case Mnemonic('D', 'T'): return Terminator();
    case Mnemonic('L', 'B'): return LabelInstruction();
    default: ++pic_.unknown_instructions; return;
  }
}

}  // namespace hpgl

PlotPicture ParseGlf(std::string_view bytes, const ParseLimits& limits) {
  return hpgl::Interpreter(bytes, limits).Run();
}

void StreamGlf(std::string_view bytes, const PictureSink& sink, size_t piece_items,
               size_t piece_points, const ParseLimits& limits) {
  ParseLimits piece_limits = limits;
  piece_limits.max_items = std::max<size_t>(piece_items, 1) * 2;
  hpgl::Interpreter interpreter(bytes, piece_limits);
  interpreter.Stream(sink, std::max<size_t>(piece_items, 1), std::max<size_t>(piece_points, 1));
}

}  // namespace tovrin::preview
