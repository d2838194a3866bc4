// A job whose sheet is already set up: scale 250, origin 0, A4 landscape,
// dash unit 100, pattern length 1.6; pens thick SP1, medium SP2, thin SP3,
// annotation and pattern SP4, break SP5.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "geometry/encode_points.h"
#include "ofi_builder.h"
#include "translate.h"

namespace tovrin::test {

inline PlotSettings GeometrySettings() {
  PlotSettings s = PlotSettings::Defaults("/tmp");
  s.LineL = "1";
  s.LineM = "2";
  s.LineS = "3";
  s.LineT = "4";
  s.LineP = "4";
  s.LineD = "5";
  return s;
}

struct DrawingTest : ::testing::Test {
  JobContext job{MakeSnapshot(GeometrySettings())};
  DrawingTest() { SetUpSheet(job); }
  static void SetUpSheet(JobContext& j) {
    j.sheet.DrawingScale = 250;
    j.sheet.SheetWidth = 297;
    j.sheet.SheetHeight = 210;
    j.sheet.DashUnit = 100;
    j.sheet.PatternLength = 1.6;
  }
  std::string Body(OfiBuilder b) { return Translate(job, b.End()).Body(); }
};

}  // namespace tovrin::test
