#include "ui/label_cycles.h"

#include "settings/setting_values.h"
#include "settings/values.h"
#include "ui/ui_texts.h"

namespace tovrin {

namespace t = ui_texts;
namespace v = setting_values;

namespace {

std::string PlusOne(const std::string& text) { return GeneralNumber(LeadingNumber(text) + 1); }

std::string Toggle(const std::string& text, const char* from, const char* to) {
  return text == from ? to : from;
}

}  // namespace

std::string NextRotation(const std::string& text) {
  if (text == v::kRotation0) return v::kRotation90;
  if (text == v::kRotation90) return v::kRotation180;
  if (text == v::kRotation180) return v::kRotation270;
  return v::kRotation0;
}

std::string NextPen(const std::string& text) { return text == "15" ? "0" : PlusOne(text); }

std::string NextThickness(const std::string& text) {
  if (text == "7") return t::kAllLevels;
  if (text == t::kAllLevels) return "-7";
  return PlusOne(text);
}

std::string NextFileSelection(const std::string& text) {
  return Toggle(text, v::kManual, v::kAutomatic);
}
std::string NextFinishedFiles(const std::string& text) {
  return Toggle(text, v::kKeep, v::kDelete);
}
std::string NextOutput(const std::string& text) { return Toggle(text, v::kToPlotter, v::kToFile); }
std::string NextCharacterSet(const std::string& text) {
  return Toggle(text, v::kHalfWidth, v::kFullWidth);
}
std::string NextCutSheet(const std::string& text) {
  return Toggle(text, v::kLandscape, v::kPortrait);
}

std::string NextReduction(const std::string& text, const std::string& plotter) {
  if (text == "A4") return "A3";
  if (text == "A3") return "A2";
  if (text == "A2") return "A1";
  if (text == "A1") return plotter == v::kA0Roll || plotter == v::kA0Cut ? "A0" : "100";
  if (text == "A0") return "100";
  return "A4";
}

bool IsRollPaper(const std::string& plotter) {
  return plotter == v::kA0Roll || plotter == v::kA1Roll;
}

const PlotterPreset& NextPlotterPreset(const std::string& plotter) {
  static const PlotterPreset kToA0Roll{v::kA0Roll,
                                       {v::kRotation0, v::kRotation90, v::kRotation0, v::kRotation0,
                                        v::kRotation90, v::kRotation0, v::kRotation90},
                                       {v::kPortrait, v::kPortrait, v::kPortrait, v::kPortrait},
                                       {}};
  static const PlotterPreset kToA1Cut{v::kA1Cut,
                                      {v::kRotation90, v::kRotation0, v::kRotation0, v::kRotation90,
                                       v::kRotation0, v::kRotation90, v::kRotation90},
                                      {v::kLandscape, v::kLandscape, v::kLandscape, v::kPortrait},
                                      {true, true, true, false}};
  static const PlotterPreset kToA0Cut{v::kA0Cut,
                                      {v::kRotation90, v::kRotation0, v::kRotation0, v::kRotation90,
                                       v::kRotation0, v::kRotation0, v::kRotation90},
                                      {v::kLandscape, v::kLandscape, v::kLandscape, v::kLandscape},
                                      {std::nullopt, std::nullopt, std::nullopt, true}};
  static const PlotterPreset kToA1Roll{
      v::kA1Roll,
      {v::kRotation90, v::kRotation0, v::kRotation90, v::kRotation90, v::kRotation0, v::kRotation90,
       v::kRotation0},
      {v::kPortrait, v::kPortrait, v::kPortrait, v::kPortrait},
      {false, false, false, false}};
  if (plotter == v::kA1Roll) return kToA0Roll;
  if (plotter == v::kA0Roll) return kToA1Cut;
  if (plotter == v::kA1Cut) return kToA0Cut;
  return kToA1Roll;
}

}  // namespace tovrin
