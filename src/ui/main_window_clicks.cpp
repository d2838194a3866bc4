// Form1's label cycles, palette, printer button and key filters.
#include <QApplication>
#include <QColor>
#include <QKeyEvent>
#include <QLineEdit>

#include "platform/spooler.h"
#include "ui/label_cycles.h"
#include "ui/main_window.h"
#include "ui/ui_texts.h"
#include "ui/widgets.h"

namespace tovrin {

namespace {

// Stands in when the program has no print spooler: no printers to choose.
class NoSpooler : public Spooler {
 public:
  std::string DefaultPrinter() override { return {}; }
  std::vector<std::string> InstalledPrinters() override { return {}; }
  std::unique_ptr<PrinterConnection> OpenPrinter(const std::string&, std::string& error) override {
    error = "no print spooler";
    return nullptr;
  }
};

QColor ToQColor(uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

uint32_t ToBgr(const QColor& c) {
  return static_cast<uint32_t>(c.red()) | static_cast<uint32_t>(c.green()) << 8 |
         static_cast<uint32_t>(c.blue()) << 16;
}

}  // namespace

void Form1::CycleField(const char* label, const char* field,
                       std::function<std::string(const std::string&)> next) {
  std::string name = field;
  connect(labels_.at(label), &ClickLabel::clicked, this,
          [this, name, next] { SetFieldText(name, next(FieldText(name))); });
}

void Form1::ConnectLabelCycles() {
  const std::pair<const char*, const char*> rotations[] = {
      {"Label2", "Text2"},   {"Label3", "Text3"},   {"Label4", "Text4"},  {"Label5", "Text5"},
      {"Label23", "Text20"}, {"Label24", "Text21"}, {"Label25", "Text22"}};
  for (const auto& [label, field] : rotations) CycleField(label, field, NextRotation);

  const std::pair<const char*, const char*> pens[] = {{"Label7", "Text6"},   {"Label8", "Text7"},
                                                      {"Label9", "Text8"},   {"Label10", "Text9"},
                                                      {"Label11", "Text10"}, {"Label35", "Text31"}};
  for (const auto& [label, field] : pens) CycleField(label, field, NextPen);
  connect(labels_.at("Label12"), &ClickLabel::clicked, this, [this] {
    const std::pair<const char*, const char*> reset[] = {
        {"Text6", "3"}, {"Text7", "2"}, {"Text8", "1"}, {"Text9", "1"}, {"Text10", "1"}};
    for (const auto& [field, pen] : reset) SetFieldText(field, pen);
  });

  for (int k = 0; k < 4; ++k) {
    std::string label = "Label" + std::to_string(30 + k);
    std::string field = "Text" + std::to_string(26 + k);
    CycleField(label.c_str(), field.c_str(), NextThickness);
    label = "Label" + std::to_string(40 + k);
    field = "Text" + std::to_string(35 + k);
    CycleField(label.c_str(), field.c_str(), NextCutSheet);
  }
  connect(labels_.at("Label29"), &ClickLabel::clicked, this, &Form1::OnLevelToggle);

  CycleField("Label13", "Text11", NextFileSelection);
  CycleField("Label14", "Text12", NextFinishedFiles);
  CycleField("Label15", "Text13", NextOutput);
  CycleField("Label16", "Text14", NextCharacterSet);
  CycleField("Label17", "Text15", NextCharacterSet);
  CycleField("Label26", "Text23",
             [this](const std::string& text) { return NextReduction(text, FieldText("Text32")); });
  connect(labels_.at("Label6"), &ClickLabel::clicked, this, &Form1::OnPlotterCycle);
}

void Form1::OnPlotterCycle() {
  const PlotterPreset& preset = NextPlotterPreset(FieldText("Text32"));
  SetFieldText("Text32", preset.plotter);
  const char* rotation_fields[] = {"Text2",  "Text3",  "Text4", "Text5",
                                   "Text20", "Text21", "Text22"};
  for (int k = 0; k < 7; ++k) SetFieldText(rotation_fields[k], preset.rotations[k]);
  for (int k = 0; k < 4; ++k) {
    if (preset.enable[k]) SetCutSheetEnabled(k, *preset.enable[k]);
    SetFieldText("Text" + std::to_string(35 + k), preset.orientations[k]);
  }
}

// All four at 9999: back to what they were; otherwise remember them and set 9999.
void Form1::OnLevelToggle() {
  const char* fields[] = {"Text26", "Text27", "Text28", "Text29"};
  bool all_levels = true;
  for (const char* f : fields) all_levels = all_levels && FieldText(f) == ui_texts::kAllLevels;
  for (int k = 0; k < 4; ++k) {
    if (all_levels) {
      SetFieldText(fields[k], saved_levels_[k]);
    } else {
      saved_levels_[k] = FieldText(fields[k]);
      SetFieldText(fields[k], ui_texts::kAllLevels);
    }
  }
}

void Form1::OnPaletteClick(int number) {
  std::optional<QColor> picked = options_.pick_colour(ToQColor(PaletteColour(number)), this);
  if (picked && picked->isValid()) SetPaletteColour(number, ToBgr(*picked));
}

// However the chooser closes, the field shows the remembered printer.
void Form1::OnChangePrinter() {
  NoSpooler none;
  Spooler& spooler = options_.spooler ? *options_.spooler : none;
  if (auto chosen = options_.choose_printer(this, spooler, printer_chooser_pos_))
    remembered_printer_ = *chosen;
  SetFieldText("Text30", remembered_printer_);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == create_button_ && event->type() == QEvent::MouseMove) {
    if (mode_.interval_ms == 0) create_button_->setText(QString::fromUtf8(ui_texts::kCreate));
    return false;
  }
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  auto it = key_filters_.find(watched);
  if (it == key_filters_.end()) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  // Typed characters are filtered, Backspace (code 8) among them; Tab,
  // Delete and the cursor keys are no characters and pass.
  const int k = key->key();
  if (k == Qt::Key_Tab || k == Qt::Key_Backtab || k == Qt::Key_Delete) return false;
  if (key->text().isEmpty() && k != Qt::Key_Backspace) return false;
  const char16_t code = k == Qt::Key_Backspace ? u'\b' : key->text().at(0).unicode();
  if (code < static_cast<char16_t>(it->second) || code > u'9') {
    QApplication::beep();
    return true;
  }
  return false;
}

}  // namespace tovrin
