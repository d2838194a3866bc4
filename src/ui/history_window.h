// The job history of the start folder (Tovrin.db) in a window of its own:
// one line per drawing per job, newest first.
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "history/history_table.h"
#include "history/job_history.h"

class QLabel;
class QTableWidget;

namespace tovrin {

class HistoryWindow : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kMaxRows = 1000;
  // Opens the preview of a row's drawing; null when its GLF is not kept.
  using OpenPreview = std::function<QWidget*(const HistoryRow&)>;

  HistoryWindow(std::string database_path, OpenPreview open_preview, QWidget* parent = nullptr);

  // Reads the database again; it is open only while it is read, so plotting
  // programs are never held up by the window.
  void Reload();
  // The preview of shown row `row`, if its GLF is kept.
  QWidget* OpenRow(int row);

  QTableWidget* Table() const { return table_; }
  QLabel* Status() const { return status_; }
  const std::vector<HistoryRow>& Rows() const { return rows_; }

 private:
  void Fill();

  std::string path_;
  OpenPreview open_preview_;
  QTableWidget* table_ = nullptr;
  QLabel* status_ = nullptr;
  std::vector<HistoryRow> rows_;  // as shown, newest first
};

}  // namespace tovrin
