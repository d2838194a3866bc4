#include "ui/label_cycles.h"

#include "settings/values.h"
#include "ui/ui_texts.h"

namespace tovrin {

namespace t = ui_texts;

namespace {

std::string PlusOne(const std::string& text) { return GeneralNumber(LeadingNumber(text) + 1); }

std::string Toggle(const std::string& text, const char* from, const char* to) {
  return text == from ? to : from;
}

}  // namespace

std::string NextRotation(const std::string& text) {
  if (text == "0") return "90";
  if (text == "90") return "180";
  if (text == "180") return "270";
  return "0";
}

std::string NextPen(const std::string& text) { return text == "15" ? "0" : PlusOne(text); }

std::string NextThickness(const std::string& text) {
  if (text == "7") return t::kAllLevels;
  if (text == t::kAllLevels) return "-7";
  return PlusOne(text);
}

std::string NextFileSelection(const std::string& text) { return Toggle(text, t::kManual, t::kAutomatic); }
std::string NextFinishedFiles(const std::string& text) { return Toggle(text, t::kKeep, t::kDelete); }
std::string NextOutput(const std::string& text) { return Toggle(text, t::kToPlotter, t::kToFile); }
std::string NextCharacterSet(const std::string& text) { return Toggle(text, t::kHalfWidth, t::kFullWidth); }
std::string NextCutSheet(const std::string& text) { return Toggle(text, t::kLandscape, t::kPortrait); }

std::string NextReduction(const std::string& text, const std::string& plotter) {
  if (text == "A4") return "A3";
  if (text == "A3") return "A2";
  if (text == "A2") return "A1";
  if (text == "A1") return plotter == t::kA0Roll || plotter == t::kA0Cut ? "A0" : "100";
  if (text == "A0") return "100";
  return "A4";
}

bool IsRollPaper(const std::string& plotter) { return plotter == t::kA0Roll || plotter == t::kA1Roll; }

const PlotterPreset& NextPlotterPreset(const std::string& plotter) {
  static const PlotterPreset kToA0Roll{t::kA0Roll,
                                       {"0", "90", "0", "0", "90", "0", "90"},
                                       {t::kPortrait, t::kPortrait, t::kPortrait, t::kPortrait},
                                       {}};
  static const PlotterPreset kToA1Cut{t::kA1Cut,
                                      {"90", "0", "0", "90", "0", "90", "90"},
                                      {t::kLandscape, t::kLandscape, t::kLandscape, t::kPortrait},
                                      {true, true, true, false}};
  static const PlotterPreset kToA0Cut{t::kA0Cut,
                                      {"90", "0", "0", "90", "0", "0", "90"},
                                      {t::kLandscape, t::kLandscape, t::kLandscape, t::kLandscape},
                                      {std::nullopt, std::nullopt, std::nullopt, true}};
  static const PlotterPreset kToA1Roll{t::kA1Roll,
                                       {"90", "0", "90", "90", "0", "90", "0"},
                                       {t::kPortrait, t::kPortrait, t::kPortrait, t::kPortrait},
                                       {false, false, false, false}};
  if (plotter == t::kA1Roll) return kToA0Roll;
  if (plotter == t::kA0Roll) return kToA1Cut;
  if (plotter == t::kA1Cut) return kToA0Cut;
  return kToA1Roll;
}

}  // namespace tovrin
