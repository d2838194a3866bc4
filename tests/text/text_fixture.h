// A job whose sheet maps one OFI unit to one plotter unit (scale 25, origin
// 0), single-byte fonts chosen, no kanji position correction; pens: medium
// SP2, thin SP3, annotation SP4, pattern SP5.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "geometry/encode_points.h"
#include "ofi_builder.h"
#include "translate.h"

namespace tovrin::test {

inline PlotSettings TextSettings() {
  PlotSettings s = PlotSettings::Defaults("/tmp");
  s.LineM = "2";
  s.LineS = "3";
  s.LineT = "4";
  s.LineP = "5";
  s.LineE = "-3";
  s.LineK = "2";
  s.LineH = "1";
  s.MojiE = "半角";
  s.MojiK = "半角";
  s.MojiX = 0;
  s.MojiY = 0;
  return s;
}

struct TextTest : ::testing::Test {
  PlotSettings settings = TextSettings();
  std::string Body(OfiBuilder b) {
    JobContext job(MakeSnapshot(settings));
    job.sheet.DrawingScale = 25;
    return Translate(job, b.End()).Body();
  }
};

// Pen-up move to the plotter point (x, y).
inline std::string Pe(int64_t x, int64_t y) { return "PE<=" + Enc({x, y}) + ";"; }

// Byte strings with embedded NULs.
inline std::string B(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

}  // namespace tovrin::test
