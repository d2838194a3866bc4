// The job's sheet: scale, paper class, rotation, origin, copies, dash unit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tovrin {

struct SheetContext {
  // From the reduction setting; restored for every drawing.
  double ReductionRatio = 0;
  double TargetWidth = 0;
  double TargetHeight = 0;

  double DrawingScale = 0;  // micrometres of paper per OFI unit
  uint16_t ExtentX = 0;
  uint16_t ExtentY = 0;
  uint16_t CornerX = 0;
  uint16_t CornerY = 0;
  double FirstCornerX = 0;  // reset for every drawing
  double FirstCornerY = 0;
  double DrawingWidth = 0;  // mm
  double DrawingHeight = 0;
  int SheetWidth = 0;  // mm, paper class
  int SheetHeight = 0;
  double SheetHalfWidth = 0;
  double SheetHalfHeight = 0;
  std::string Rotation;        // code page 932 text written after "RO"
  std::string CutOrientation;  // UTF-8 setting text ("縦"/"横"), empty for A0
  double OriginX = 0;
  double OriginY = 0;
  std::optional<int16_t> CopyCount;  // none until the job's first V
  double DashUnit = 0;
  double PatternLength = 0;

  // Copies the trailer asks for: one until a V has been read.
  int TrailerCopies() const { return CopyCount ? *CopyCount : 1; }
};

}  // namespace tovrin
