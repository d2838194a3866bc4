// Form1's controls: every one at its place in twips, scaled to the screen.
#include "ui/main_window.h"

#include <QColorDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QTimer>

#include "job/plot_job.h"
#include "settings/settings_store.h"
#include "ui/printer_chooser.h"
#include "ui/ui_texts.h"
#include "ui/widgets.h"

namespace tovrin {

namespace {

constexpr int kTwipsPerInch = 1440;
constexpr int kFieldHeight = 285;
constexpr int kLabelHeight = 240;
constexpr int kTwoLines = 400;

// Column grid of the rotation, cut-sheet, margin, pen and palette rows.
constexpr int Column(int k) { return 870 + 465 * k; }
constexpr int kColumnWidth = 450;

// Thickness and kanji factor columns.
constexpr int LevelColumn(int k) { return 900 + 780 * k; }
constexpr int FactorColumn(int k) { return 1680 + 645 * k; }

QString Q(const char* text) { return QString::fromUtf8(text); }

std::optional<QColor> PickColour(const QColor& start, QWidget* parent) {
  QColor c = QColorDialog::getColor(start, parent);
  if (!c.isValid()) return std::nullopt;  // cancelled: the button keeps its colour
  return c;
}

}  // namespace

Form1::Form1(MainWindowOptions options, QWidget* parent)
    : QWidget(parent), options_(std::move(options)) {
  if (!options_.choose_files) {
    // The chooser's preview translates with the settings in the fields.
    options_.choose_files = [this](QWidget* parent, std::string& folder, const std::string& start,
                                   ChooserPosition& position) {
      PlotSettings s = PlotSettings::Defaults(start);
      std::string error;
      return ChooseDrawingFiles(parent, folder, start, position,
                                CaptureAll(s, error) ? &s : nullptr);
    };
  }
  if (!options_.choose_printer) options_.choose_printer = ChoosePrinter;
  if (!options_.pick_colour) options_.pick_colour = PickColour;
  if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
    dpi_ = s->logicalDotsPerInchY();

  setObjectName("Form1");
  setWindowTitle(Q(ui_texts::kWindowTitle));
  setFont(QFont("IPAPGothic", 9));
  setFixedSize(Px(4335), Px(6870));
  BuildControls();
  BuildTimers();
  ConnectLabelCycles();

  PlotSettings s = PlotSettings::Defaults(options_.start_folder);
  SettingsFileRead read = ReadSettingsFile(SettingsPath(), s);
  // What this run did not read must survive its save.
  keep_settings_backup_ = !read.Complete();
  for (const std::string& warning : read.warnings) AddLog(warning);
  ShowSettings(s);
  ApplyRollPaperRule();
  ApplyCommandLine();
}

Form1::~Form1() = default;

int Form1::Px(int twips) const { return qRound(twips * dpi_ / kTwipsPerInch); }

QLineEdit* Form1::AddField(const char* name, Rect r, bool editable, bool right_aligned) {
  auto* f = new QLineEdit(this);
  f->setObjectName(name);
  f->setGeometry(Px(r.left), Px(r.top), Px(r.width), Px(r.height));
  f->setReadOnly(!editable);
  f->setAlignment((right_aligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
  f->setTextMargins(1, 0, 1, 0);
  fields_[name] = f;
  return f;
}

ClickLabel* Form1::AddLabel(const char* name, const char* caption, Rect r, const char* tooltip,
                            Qt::Alignment align) {
  auto* l = new ClickLabel(Q(caption), this);
  l->setObjectName(name);
  l->setTextFormat(Qt::PlainText);
  l->setGeometry(Px(r.left), Px(r.top), Px(r.width), Px(r.height));
  l->setAlignment(align);
  l->setWordWrap(r.height >= kTwoLines);
  if (tooltip) l->setToolTip(Q(tooltip));
  labels_[name] = l;
  return l;
}

CaptionButton* Form1::AddButton(const char* name, const char* caption, Rect r) {
  auto* b = new CaptionButton(Q(caption), this);
  b->setObjectName(name);
  b->setGeometry(Px(r.left), Px(r.top), Px(r.width), Px(r.height));
  b->setAutoDefault(false);
  return b;
}

void Form1::BuildControls() {
  AddLabel("Label1", "* ．ＯＦＩ ファイルの場所", {120, 120, 3252, kLabelHeight},
           "ﾌｧｲﾙ選択を手動にして変更しても可");
  AddField("Text1", {120, 360, 3252, kFieldHeight}, true, false);
  create_button_ = AddButton("Command1", ui_texts::kCreate, {3480, 360, 732, 612});
  connect(create_button_, &QPushButton::clicked, this, &Form1::RunJob);
  create_button_->setMouseTracking(true);
  create_button_->installEventFilter(this);

  log_ = new QListWidget(this);
  log_->setObjectName("List2");
  log_->setGeometry(Px(120), Px(720), Px(3252), Px(780));
  log_->setFont(QFont("IPAGothic", 9));
  log_->setUniformItemSizes(true);
  connect(log_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { OpenPreview(log_->row(item)); });

  auto* abort = AddButton("Command13", ui_texts::kAbort, {3480, 1080, 732, 420});
  connect(abort, &QPushButton::clicked, this, &Form1::OnAbort);

  // Above "作成", in the one free place of the window's right column.
  auto* history = AddButton("Command15", ui_texts::kHistory, {3480, 45, 732, 285});
  connect(history, &QPushButton::clicked, this, &Form1::OpenHistory);

  AddLabel("Label34", "出力先プロッタ名", {120, 1680, 2400, kLabelHeight},
           "指定が無い場合通常使うプリンターになる");
  auto* change = AddButton("Command14", ui_texts::kChangePlotter, {3480, 1680, 732, 555});
  connect(change, &QPushButton::clicked, this, &Form1::OnChangePrinter);
  AddField("Text30", {120, 1920, 3252, kFieldHeight}, false, false);

  BuildRotationRows();
  BuildPenRows();
  BuildTextRows();
  BuildPaletteRows();

  // OfiMh and OfiMw have no visible field: only the settings file changes them.
  AddField("Text24", {4440, 0, 500, kFieldHeight}, true, true)->hide();
  AddField("Text25", {4440, 400, 500, kFieldHeight}, true, true)->hide();
  AddLabel("Label28", "左右マージ", {4440, 800, 900, kLabelHeight})->hide();
}

void Form1::BuildRotationRows() {
  constexpr Qt::Alignment kCentred = Qt::AlignCenter;
  AddLabel("Label6", "図面回転", {120, 2280, 720, kLabelHeight},
           "図面の回転方向をラベルをクリックして選択する");
  plot_field_ = new ClickLabel(this);
  plot_field_->setObjectName("Text32");
  plot_field_->setTextFormat(Qt::PlainText);
  plot_field_->setWordWrap(true);
  plot_field_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  plot_field_->setBackgroundRole(QPalette::Base);
  plot_field_->setAutoFillBackground(true);
  plot_field_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  plot_field_->setGeometry(Px(120), Px(2520), Px(720), Px(495));

  const char* labels[] = {"Label2", "Label3", "Label4", "Label5", "Label23", "Label24", "Label25"};
  const char* captions[] = {"A4縦", "A4横", "A3横", "A2縦", "A2横", "A1横", "A0横"};
  const char* fields[] = {"Text2", "Text3", "Text4", "Text5", "Text20", "Text21", "Text22"};
  for (int k = 0; k < 7; ++k) {
    AddLabel(labels[k], captions[k], {Column(k), 2280, kColumnWidth, kLabelHeight}, nullptr,
             kCentred);
    AddField(fields[k], {Column(k), 2520, kColumnWidth, kFieldHeight}, false, true);
  }

  const char* cut_captions[] = {"A4", "A3", "A2", "A1"};
  for (int k = 0; k < 4; ++k) {
    std::string label = "Label" + std::to_string(40 + k);
    std::string field = "Text" + std::to_string(35 + k);
    AddLabel(label.c_str(), cut_captions[k], {Column(k), 2880, kColumnWidth, kLabelHeight}, nullptr,
             kCentred);
    AddField(field.c_str(), {Column(k), 3120, kColumnWidth, kFieldHeight}, false, false);
  }
  AddLabel("Label39", "ｶｯﾄ紙向", {120, 3120, 720, kFieldHeight},
           "用紙の回転方向をラベルをクリックして選択する");
  AddLabel("Label38", "ﾏ-ｼﾞﾝ", {Column(4), 3120, kColumnWidth, kFieldHeight},
           "プロッタの上下左右の各マージンをｍｍ単位で記入", kCentred);
  AddLabel("Label36", "上下", {Column(5), 2880, kColumnWidth, kLabelHeight}, nullptr, kCentred);
  AddLabel("Label37", "左右", {Column(6), 2880, kColumnWidth, kLabelHeight}, nullptr, kCentred);
  key_filters_[AddField("Text33", {Column(5), 3120, kColumnWidth, kFieldHeight}, true, true)] = '.';
  key_filters_[AddField("Text34", {Column(6), 3120, kColumnWidth, kFieldHeight}, true, true)] = '.';
}

void Form1::BuildPenRows() {
  constexpr Qt::Alignment kCentred = Qt::AlignCenter;
  const char* labels[] = {"Label7", "Label8", "Label9", "Label10", "Label11"};
  const char* captions[] = {"太線", "中線", "細線", "注記", "ﾊﾟﾀｰﾝ"};
  for (int k = 0; k < 5; ++k) {
    AddLabel(labels[k], captions[k], {Column(k), 3480, kColumnWidth, kLabelHeight}, nullptr,
             kCentred);
    AddField(("Text" + std::to_string(6 + k)).c_str(),
             {Column(k), 3720, kColumnWidth, kFieldHeight}, false, true);
  }
  AddLabel("Label35", "破断", {Column(6), 3480, kColumnWidth, kLabelHeight}, nullptr, kCentred);
  AddField("Text31", {Column(6), 3720, kColumnWidth, kFieldHeight}, false, true);
  AddLabel("Label12", "ペンNo", {120, 3720, 720, kFieldHeight},
           "プロッターのペンＮｏと線種をラベルをクリックして合わす");

  const char* level_captions[] = {"全角", "半角英数", "半角記号", "半角ｶﾀｶﾅ"};
  for (int k = 0; k < 4; ++k) {
    AddLabel(("Label" + std::to_string(30 + k)).c_str(), level_captions[k],
             {LevelColumn(k), 4080, 720, kLabelHeight}, nullptr, kCentred);
    AddField(("Text" + std::to_string(26 + k)).c_str(), {LevelColumn(k), 4320, 720, kFieldHeight},
             false, true);
  }
  AddLabel("Label29", "文字太さ　レベル", {120, 4200, 750, kTwoLines},
           "9999にするとペンNoの注記線幅になる");
}

void Form1::BuildTextRows() {
  AddLabel("Label26", "縮小率（％）", {120, 4680, 720, kTwoLines}, "縮小率又は用紙サイズを指定");
  AddField("Text23", {870, 4680, 555, kFieldHeight}, true, true);
  AddLabel("Label16", "カタカナ文字ｾｯﾄ", {1500, 4680, 720, kTwoLines},
           "カタカナ文字を半角フォントか全角フォントか選択する");
  AddField("Text14", {2250, 4680, 480, kFieldHeight}, false, false);
  AddLabel("Label17", "英数記号文字ｾｯﾄ", {2790, 4680, 720, kTwoLines},
           "英数記号文字を半角フォントか全角フォントか選択する");
  AddField("Text15", {3540, 4680, 480, kFieldHeight}, false, false);

  // "出力先" needs three full-width characters of room (36 px at 96 dpi).
  AddLabel("Label15", "出力先", {120, 5160, 570, kFieldHeight},
           "作成したHP-GLファイルを印刷するかドライブにコピーするか");
  AddField("Text13", {720, 5160, 660, kFieldHeight}, false, false);
  AddLabel("Label13", "ﾌｧｲﾙ選択", {1425, 5160, 720, kFieldHeight},
           "OFIファイルを自動で検索するか、選択するか");
  AddField("Text11", {2160, 5160, 480, kFieldHeight}, false, false);
  AddLabel("Label14", "終了ﾌｧｲﾙ", {2700, 5160, 720, kFieldHeight},
           "出図済みOFIファイルを消去するか保存するか");
  AddField("Text12", {3435, 5160, 480, kFieldHeight}, false, false);

  const char* captions[] = {"幅", "高さ", "Ｘ座標", "Ｙ座標"};
  for (int k = 0; k < 4; ++k) {
    AddLabel(("Label" + std::to_string(19 + k)).c_str(), captions[k],
             {FactorColumn(k), 5520, 585, kLabelHeight}, nullptr, Qt::AlignCenter);
    QLineEdit* f = AddField(("Text" + std::to_string(16 + k)).c_str(),
                            {FactorColumn(k), 5760, 585, kFieldHeight}, true, true);
    key_filters_[f] = '-';
  }
  AddLabel("Label18", "漢字　変更倍率（サイズ、位置）", {120, 5640, 1500, kTwoLines},
           "漢字フォントのサイズと位置を変更します（Y座標の-0.1の場合は文字幅の10％移動します");
  for (auto& [field, lowest] : key_filters_) {
    (void)lowest;
    field->installEventFilter(this);
    static_cast<QWidget*>(field)->setAttribute(Qt::WA_InputMethodEnabled,
                                               false);  // typed characters only
  }
}

void Form1::BuildPaletteRows() {
  AddLabel("Label27", "パレットＮｏに対する色", {120, 6120, 2040, kFieldHeight},
           "ZelkorのパレットNoに色を合わせてください");
  for (int n = 1; n <= 11; ++n) {
    // Palette 1..4 end the first row; 5..11 fill the second.
    Rect r = n <= 4 ? Rect{Column(n + 2), 6120, 372, 252} : Rect{Column(n - 5), 6480, 372, 252};
    std::string name = "Command" + std::to_string(n + 1);
    CaptionButton* b = AddButton(name.c_str(), std::to_string(n).c_str(), r);
    palette_buttons_[n - 1] = b;
    connect(b, &QPushButton::clicked, this, [this, n] { OnPaletteClick(n); });
  }
}

void Form1::BuildTimers() {
  auto make = [this](const char* name) {
    auto* t = new QTimer(this);
    t->setObjectName(name);
    t->setSingleShot(true);  // every tick stops its timer first
    return t;
  };
  repeat_timer_ = make("Timer1");
  single_run_timer_ = make("Timer2");
  close_timer_ = make("Timer3");
  connect(repeat_timer_, &QTimer::timeout, this, &Form1::OnRepeatTick);
  connect(single_run_timer_, &QTimer::timeout, this, &Form1::OnSingleRunTick);
  connect(close_timer_, &QTimer::timeout, this, &QWidget::close);
}

}  // namespace tovrin
