#include "ui/history_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <filesystem>
#include <map>

#include "history/history_table.h"

namespace tovrin {
namespace {

namespace texts {
inline constexpr const char* kTitle = "出図履歴";
inline constexpr const char* kReload = "更新";
inline constexpr const char* kClose = "閉じる";
inline constexpr const char* kNoHistory = "履歴はまだありません";
inline constexpr const char* kCannotOpen = "履歴を開けません: ";
inline constexpr const char* kRows = "件";
inline constexpr const char* kPreviewHint = "（ダブルクリックで出図イメージ）";
inline constexpr const char* kNotKept = "この図面の出図イメージは残っていません";
}  // namespace texts

const char* const kHeadings[] = {"開始", "終了",     "ファイル", "図面", "OFI", "GLF",
                                 "結果", "プリンタ", "ジョブ",   "状態", "理由"};
constexpr int kColumns = static_cast<int>(std::size(kHeadings));

QString Q(const std::string& text) { return QString::fromStdString(text); }
QString Q(const char* text) { return QString::fromUtf8(text); }

QString Number(uint64_t n) { return QString::number(static_cast<qulonglong>(n)); }

std::vector<QString> Cells(const HistoryRow& r) {
  return {Q(FormatLocalTime(r.started_ms)),
          Q(FormatLocalTime(r.ended_ms)),
          Q(r.drawing.name),
          Q(r.header),
          Number(r.drawing.size),
          Number(r.glf_bytes),
          Q(ResultText(r.result)),
          Q(r.printer),
          r.cups_job_id ? QString::number(r.cups_job_id) : QString(),
          Q(CupsStateText(r.cups_state)),
          Q(r.reason)};
}

}  // namespace

HistoryWindow::HistoryWindow(std::string database_path, OpenPreview open_preview, QWidget* parent)
    : QWidget(parent, Qt::Window),
      path_(std::move(database_path)),
      open_preview_(std::move(open_preview)) {
  setObjectName("HistoryWindow");
  setWindowTitle(Q(texts::kTitle));
  setFont(QFont("IPAPGothic", 9));
  resize(1000, 420);

  table_ = new QTableWidget(0, kColumns, this);
  table_->setObjectName("HistoryTable");
  table_->setFont(QFont("IPAGothic", 9));
  QStringList headings;
  for (const char* h : kHeadings) headings << Q(h);
  table_->setHorizontalHeaderLabels(headings);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->verticalHeader()->setVisible(false);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setWordWrap(false);
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { OpenRow(row); });

  status_ = new QLabel(this);
  status_->setObjectName("HistoryStatus");
  auto* reload = new QPushButton(Q(texts::kReload), this);
  reload->setObjectName("HistoryReload");
  reload->setAutoDefault(false);
  connect(reload, &QPushButton::clicked, this, &HistoryWindow::Reload);
  auto* close_button = new QPushButton(Q(texts::kClose), this);
  close_button->setObjectName("HistoryClose");
  close_button->setAutoDefault(false);
  connect(close_button, &QPushButton::clicked, this, &QWidget::close);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(status_, 1);
  buttons->addWidget(reload);
  buttons->addWidget(close_button);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_, 1);
  layout->addLayout(buttons);
  Reload();
}

void HistoryWindow::Reload() {
  rows_.clear();
  std::error_code ec;
  // Looking must not create a database where no program plotted yet.
  if (!std::filesystem::exists(path_, ec)) {
    status_->setText(Q(texts::kNoHistory));
    Fill();
    return;
  }
  std::string error;
  std::unique_ptr<JobHistory> history = JobHistory::OpenForReading(path_, error);
  std::vector<HistoryRow> last;
  if (history && !history->Last(kMaxRows, RowFilter::All, last)) error = history->LastError();
  if (!history || !error.empty()) {
    status_->setText(Q(texts::kCannotOpen) + Q(error));
    Fill();
    return;
  }
  rows_.assign(last.rbegin(), last.rend());
  status_->setText(QString::number(rows_.size()) + Q(texts::kRows) + Q(texts::kPreviewHint));
  Fill();
}

void HistoryWindow::Fill() {
  table_->setRowCount(static_cast<int>(rows_.size()));
  for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
    std::vector<QString> cells = Cells(rows_[r]);
    for (int c = 0; c < kColumns; ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      if (c == 4 || c == 5 || c == 8) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(r, c, item);
    }
  }
  table_->resizeColumnsToContents();
}

QWidget* HistoryWindow::OpenRow(int row) {
  if (row < 0 || row >= static_cast<int>(rows_.size()) || !open_preview_) return nullptr;
  QWidget* preview = open_preview_(rows_[row]);
  if (!preview) status_->setText(Q(texts::kNotKept));
  return preview;
}

}  // namespace tovrin
