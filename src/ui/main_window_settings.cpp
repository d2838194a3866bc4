// Settings in and out of Form1's fields, start-up and shut-down.
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <iostream>

#include "platform/folder.h"
#include "settings/setting_values.h"
#include "settings/settings_store.h"
#include "settings/values.h"
#include "ui/label_cycles.h"
#include "ui/main_window.h"
#include "ui/ui_texts.h"
#include "ui/widgets.h"

namespace tovrin {

namespace {

// Settings held in fields, in the order they are copied in at start-up.
constexpr std::pair<const char*, const char*> kFieldSettings[] = {
    {"OfiFile", "Text1"}, {"OfiMajX", "Text34"}, {"OfiMajY", "Text33"}, {"OfiA4V", "Text2"},
    {"OfiA4H", "Text3"},  {"OfiA3", "Text4"},    {"OfiA2V", "Text5"},   {"OfiA2H", "Text20"},
    {"OfiA1", "Text21"},  {"OfiA0", "Text22"},   {"Plot", "Text32"},    {"OfiB4", "Text35"},
    {"OfiB3", "Text36"},  {"OfiB2", "Text37"},   {"OfiB1", "Text38"},   {"LineL", "Text6"},
    {"LineM", "Text7"},   {"LineS", "Text8"},    {"LineT", "Text9"},    {"LineP", "Text10"},
    {"LineD", "Text31"},  {"LineZ", "Text26"},   {"LineE", "Text27"},   {"LineK", "Text28"},
    {"LineH", "Text29"},  {"OfiS", "Text23"},    {"MojiK", "Text14"},   {"MojiE", "Text15"},
    {"MojiW", "Text16"},  {"MojiH", "Text17"},   {"MojiX", "Text18"},   {"MojiY", "Text19"},
    {"OfiMh", "Text24"},  {"OfiMw", "Text25"},   {"OfiFMen", "Text11"}, {"OfiFEnd", "Text12"},
    {"OfiOut", "Text13"}, {"Hprn", "Text30"},
};

constexpr const char* kPaletteKeys[] = {"OfiC1", "OfiC2", "OfiC3", "OfiC4", "OfiC5", "OfiC6",
                                        "OfiC7", "OfiC8", "OfiC9", "OfiCA", "OfiCB"};

// The whole text is one number (blanks around it allowed): "5", "-.14", "1E3".
bool IsWholeNumber(std::string_view text) {
  size_t i = 0;
  auto skip_blanks = [&] {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  };
  auto digits = [&] {
    size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i - start;
  };
  skip_blanks();
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t mantissa = digits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (digits() == 0) return false;
  }
  skip_blanks();
  return i == text.size();
}

bool FitsKind(double value, SettingKind kind) {
  if (!std::isfinite(value)) return false;
  return kind != SettingKind::Float || std::isfinite(static_cast<float>(value));
}

// Colours outside 24 bits cannot be shown; they are held at the nearest end.
uint32_t ColourValue(double value) {
  int64_t v = RoundHalfEven(value);
  return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, 0xFFFFFF));
}

int16_t ClampToInt16(double value) {
  if (!std::isfinite(value)) return 0;
  return static_cast<int16_t>(std::clamp(std::nearbyint(value), -32768.0, 32767.0));
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

std::string Form1::SettingsPath() const {
  return JoinPath(options_.start_folder, kSettingsFileName);
}

std::string Form1::FieldText(const std::string& name) const {
  if (name == "Text32") return plot_field_->text().toStdString();
  auto it = fields_.find(name);
  return it == fields_.end() ? std::string() : it->second->text().toStdString();
}

void Form1::SetFieldText(const std::string& name, const std::string& text) {
  if (name == "Text32") {
    plot_field_->setText(Q(text));
    return;
  }
  if (auto it = fields_.find(name); it != fields_.end()) {
    it->second->setText(Q(text));
    it->second->setCursorPosition(0);
  }
}

uint32_t Form1::PaletteColour(int number) const {
  return number >= 1 && number <= 11 ? palette_[number - 1] : 0;
}

void Form1::SetPaletteColour(int number, uint32_t bgr) {
  palette_[number - 1] = bgr;
  QPushButton* b = palette_buttons_[number - 1];
  QPalette p = b->palette();
  p.setColor(QPalette::Button, QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF));
  b->setPalette(p);
}

void Form1::ShowSettings(const PlotSettings& s) {
  for (const auto& [key, field] : kFieldSettings)
    SetFieldText(field, SettingText(s, *FindSetting(key)));
  PlaceWindow(s.OfiTop, s.OfiLeft);
  for (int n = 1; n <= 11; ++n) SetPaletteColour(n, ColourValue(s.PaletteColour(n)));
  file_chooser_pos_ = {s.FilTop, s.FilLeft};
  printer_chooser_pos_ = {s.PrnTop, s.PrnLeft};
  remembered_printer_ = s.Hprn;
}

bool Form1::CaptureAll(PlotSettings& s, std::string& error) {
  for (const auto& [key, field] : kFieldSettings) {
    const SettingInfo& info = *FindSetting(key);
    std::string text = FieldText(field);
    if (info.kind() != SettingKind::Text &&
        (!IsWholeNumber(text) || !FitsKind(LeadingNumber(text), info.kind()))) {
      error = std::string(key) + " (" + field + ") が数値ではありません: \"" + text + "\"";
      return false;
    }
    ApplySettingText(s, info, text);
  }
  for (int n = 1; n <= 11; ++n)
    ApplySettingText(s, *FindSetting(kPaletteKeys[n - 1]), std::to_string(palette_[n - 1]));
  std::tie(s.OfiTop, s.OfiLeft) = WindowPosition();
  s.FilTop = file_chooser_pos_.top;
  s.FilLeft = file_chooser_pos_.left;
  s.PrnTop = printer_chooser_pos_.top;
  s.PrnLeft = printer_chooser_pos_.left;
  return true;
}

bool Form1::CaptureSettings(PlotSettings& settings, std::string& error) {
  settings = PlotSettings::Defaults(options_.start_folder);
  return CaptureAll(settings, error);
}

void Form1::PlaceWindow(int16_t top, int16_t left) { move(Px(left), Px(top)); }

std::pair<int16_t, int16_t> Form1::WindowPosition() const {
  const double twips_per_px = 1440.0 / dpi_;
  return {ClampToInt16(pos().y() * twips_per_px), ClampToInt16(pos().x() * twips_per_px)};
}

void Form1::SetCutSheetEnabled(int column, bool enabled) {
  labels_.at("Label" + std::to_string(40 + column))->setEnabled(enabled);
  fields_.at("Text" + std::to_string(35 + column))->setEnabled(enabled);
}

// Roll paper has no cut-sheet orientation: shown as 縦 and locked.
void Form1::ApplyRollPaperRule() {
  if (!IsRollPaper(FieldText("Text32"))) return;
  for (int k = 0; k < 4; ++k) {
    SetCutSheetEnabled(k, false);
    SetFieldText("Text" + std::to_string(35 + k), setting_values::kPortrait);
  }
}

void Form1::ApplyCommandLine() {
  mode_ = ParseCommandLine(options_.command_line);
  if (mode_.kind == AutoMode::Kind::Interactive) return;
  SetFieldText("Text11", setting_values::kAutomatic);
  if (mode_.kind == AutoMode::Kind::SingleRun) {
    single_run_timer_->start(kSingleRunDelayMs);
  } else {
    SetFieldText("Text12", setting_values::kDelete);
    AddLog(ui_texts::kRepeatModeNote);  // what the command line changes, said before it happens
    if (mode_.interval_ms > 0) {
      repeat_timer_->start(mode_.interval_ms);
      ListenToFolder();
    }
  }
  create_button_->setText(Q(mode_.caption));
}

// A failure leaves the old file as it was; the program still ends.
void Form1::SaveSettings() {
  PlotSettings s = PlotSettings::Defaults(options_.start_folder);
  std::string error;
  if (!CaptureAll(s, error) ||
      !SaveSettingsFile(SettingsPath(), s, error, {.keep_backup = keep_settings_backup_})) {
    std::cerr << "tovrin: " << SettingsPath() << " was not written: " << error << std::endl;
    exit_status_ = 1;
  }
}

}  // namespace tovrin
