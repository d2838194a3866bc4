#include <cmath>
#include <string>

#include "glf/format_number.h"
#include "ofi/drawing_texts.h"
#include "ofi/sheet_commands.h"
#include "ofi/translation.h"
#include "settings/setting_values.h"

namespace tovrin {
namespace {

// One paper class try of the classification.
struct PaperTry {
  bool swap_before;
  std::string JobSnapshot::*rotation;
  const std::string PlotSettings::*cut;  // nullptr: kept
  double limit_w, limit_h;
  int sheet_w, sheet_h;
  double half_w, half_h;
};

const PaperTry kTries[] = {
    {false, &JobSnapshot::rot_a4h, &PlotSettings::OfiB4, 297, 210, 297, 210, 148.5, 105},
    {true, &JobSnapshot::rot_a4v, nullptr, 210, 297, 210, 297, 105, 148.5},
    {true, &JobSnapshot::rot_a3, &PlotSettings::OfiB3, 420, 297, 420, 297, 210, 148.5},
    {false, &JobSnapshot::rot_a2h, &PlotSettings::OfiB2, 594, 420, 594, 420, 297, 210},
    {true, &JobSnapshot::rot_a2v, nullptr, 420, 594, 420, 594, 210, 297},
    {true, &JobSnapshot::rot_a1, &PlotSettings::OfiB1, 841, 594, 841, 594, 420.5, 297},
};
const PaperTry kA0Try = {false, &JobSnapshot::rot_a0, nullptr, 1189, 841, 1189, 841, 594.5, 420.5};

bool IsUpright(const std::string& rotation) {
  return rotation == setting_values::kRotation0 || rotation == setting_values::kRotation180;
}

void TakeClass(SheetContext& s, const PaperTry& t) {
  s.SheetWidth = t.sheet_w;
  s.SheetHeight = t.sheet_h;
  s.SheetHalfWidth = t.half_w;
  s.SheetHalfHeight = t.half_h;
}

// Works on a copy of the sheet so that a rejected record changes nothing;
// `setup` collects the plotter instructions.
class SheetSetup {
 public:
  SheetSetup(Translation& tr, SheetContext sheet) : tr_(tr), cfg_(tr.cfg()), s_(sheet) {}

  // False (with the drawing rejected) when the sheet cannot be set up.
  bool Run() {
    if (!CheckInputs() || !Classify()) return false;
    Position();
    WriteSetup();
    s_.PatternLength = (s_.DrawingScale * s_.DashUnit /
                        std::sqrt(static_cast<double>(s_.SheetWidth) * s_.SheetWidth +
                                  static_cast<double>(s_.SheetHeight) * s_.SheetHeight)) *
                       100 / 1000;
    if (!std::isfinite(s_.OriginX) || !std::isfinite(s_.OriginY) ||
        !std::isfinite(s_.PatternLength))
      return Fail(texts::kNotANumber);
    return true;
  }
  const SheetContext& sheet() const { return s_; }
  const std::string& setup() const { return setup_; }

 private:
  bool Fail(const char* reason) {
    tr_.Reject(reason);
    return false;
  }

  bool CheckInputs() {
    if (!(s_.DrawingScale > 0) || !std::isfinite(s_.DrawingScale)) return Fail(texts::kBadScale);
    if (s_.ExtentX == 0 || s_.ExtentY == 0) return Fail(texts::kEmptySheet);
    if (!(cfg_.margin_x >= 0) || !(cfg_.margin_y >= 0)) return Fail(texts::kNegativeMargin);
    return true;
  }

  // Tries the paper classes, restarting once on a smaller target when the
  // drawing is too large for the plotter. A second restart would never end.
  bool Classify() {
    const bool a0_plotter = cfg_.settings.Plot == setting_values::kA0Roll ||
                            cfg_.settings.Plot == setting_values::kA0Cut;
    for (int restarts = 0;; ++restarts) {
      if (restarts > 1) return Fail(texts::kNoPaperFits);
      for (const PaperTry& t : kTries) {
        bool fits = false;
        if (!Try(t, fits)) return false;
        if (fits) return true;
      }
      if (!a0_plotter) {
        if (s_.DrawingHeight > 594) {
          SetTarget(840, 594);
          continue;
        }
        setup_ += "PS60000,23360";
        TakeClass(s_, kTries[5]);  // rotation and cut sheet of the A1 try stay
        return true;
      }
      bool fits = false;
      if (!Try(kA0Try, fits)) return false;
      if (fits) return true;
      if (s_.DrawingHeight > 841) {
        SetTarget(1188, 840);
        continue;
      }
      setup_ += "PS60000,33200";
      TakeClass(s_, kA0Try);
      return true;
    }
  }

  void SetTarget(double width, double height) {
    s_.TargetWidth = width;
    s_.TargetHeight = height;
  }

  bool Try(const PaperTry& t, bool& fits) {
    if (t.swap_before) std::swap(s_.TargetWidth, s_.TargetHeight);
    s_.Rotation = cfg_.*t.rotation;
    if (t.cut) {
      s_.CutOrientation = cfg_.settings.*t.cut;
    } else if (&t == &kA0Try) {
      s_.CutOrientation.clear();
    }
    if (!FitAndMeasure()) return false;
    fits = s_.DrawingWidth <= t.limit_w && s_.DrawingHeight <= t.limit_h;
    if (fits) TakeClass(s_, t);
    return true;
  }

  // Margins come off the target on every try, not once.
  bool FitAndMeasure() {
    if (s_.TargetWidth != 0) {
      const double mx = cfg_.margin_x, my = cfg_.margin_y;
      if (IsUpright(s_.Rotation)) {
        s_.TargetWidth -= mx;
        s_.TargetHeight -= my;
      } else {
        s_.TargetWidth -= my;
        s_.TargetHeight -= mx;
      }
      double fx, fy;
      if (s_.ExtentX > s_.ExtentY) {
        fx = 1000 * s_.TargetWidth / (s_.DrawingScale * s_.ExtentX);
        fy = 1000 * s_.TargetHeight / (s_.DrawingScale * s_.ExtentY);
      } else {
        fx = 1000 * s_.TargetHeight / (s_.DrawingScale * s_.ExtentX);
        fy = 1000 * s_.TargetWidth / (s_.DrawingScale * s_.ExtentY);
      }
      s_.DrawingScale *= fx < fy ? fx : fy;
      if (!(s_.DrawingScale > 0) || !std::isfinite(s_.DrawingScale)) return Fail(texts::kFitFailed);
    }
    s_.DrawingWidth = std::fabs(s_.DrawingScale * s_.ExtentX / 1000);
    s_.DrawingHeight = std::fabs(s_.DrawingScale * s_.ExtentY / 1000);
    return true;
  }

  void Position() {
    const std::string& plot = cfg_.settings.Plot;
    if (plot == setting_values::kA1Roll || plot == setting_values::kA0Roll) {
      s_.OriginX = static_cast<double>(s_.CornerX) - s_.ExtentX;
      s_.OriginY = static_cast<double>(s_.CornerY) - s_.ExtentY;
      return;
    }
    // The plotter origin lies m1, m2 inside the paper edge.
    const bool upright = IsUpright(s_.Rotation);
    const double m1 = upright ? cfg_.margin_x : cfg_.margin_y;
    const double m2 = upright ? cfg_.margin_y : cfg_.margin_x;
    s_.OriginX = s_.CornerX - s_.ExtentX / 2.0 - 1000 * (s_.SheetHalfWidth - m1) / s_.DrawingScale;
    s_.OriginY = s_.CornerY - s_.ExtentY / 2.0 - 1000 * (s_.SheetHalfHeight - m2) / s_.DrawingScale;
    if (s_.CutOrientation == setting_values::kLandscape) s_.Rotation = QuarterTurn(s_.Rotation);
  }

  static std::string QuarterTurn(const std::string& rotation) {
    namespace v = setting_values;
    if (rotation == v::kRotation0) return v::kRotation90;
    if (rotation == v::kRotation90) return v::kRotation180;
    if (rotation == v::kRotation180) return v::kRotation270;
    if (rotation == v::kRotation270) return v::kRotation0;
    return rotation;
  }

  void WriteSetup() {
    const std::string h = FormatNumber(1000.0 * s_.SheetHeight / 25, "########");
    const std::string w = FormatNumber(1000.0 * s_.SheetWidth / 25, "########");
    setup_ += "RO" + s_.Rotation;
    setup_ += "IP0,0," + h + "," + w;
    setup_ += "SC0," + h + ",0," + w + ",0";
    setup_ += "SD1,11,6," + cfg_.weight_symbol + "SSAD1,1643,6," + cfg_.weight_full + ",7,50SP2";
  }

  Translation& tr_;
  const JobSnapshot& cfg_;
  SheetContext s_;
  std::string setup_;
};

}  // namespace

// Sheet record: extent and far corner. The drawing's first record sets the
// plotter up; later ones only move the origin by their corner's shift.
void RunSheet(Translation& tr) {
  SheetContext sheet = tr.sheet();
  sheet.ExtentX = tr.reader.ReadUnsigned();
  sheet.ExtentY = tr.reader.ReadUnsigned();
  sheet.CornerX = tr.reader.ReadUnsigned();
  sheet.CornerY = tr.reader.ReadUnsigned();
  if (sheet.FirstCornerX != 0 || sheet.FirstCornerY != 0) {
    sheet.OriginX += sheet.CornerX - sheet.FirstCornerX;
    sheet.OriginY += sheet.CornerY - sheet.FirstCornerY;
    tr.sheet() = std::move(sheet);
    return;
  }
  sheet.FirstCornerX = sheet.CornerX;
  sheet.FirstCornerY = sheet.CornerY;
  SheetSetup setup(tr, std::move(sheet));
  if (!setup.Run()) return;
  tr.sheet() = setup.sheet();
  tr.out.Write(setup.setup());
}

}  // namespace tovrin
