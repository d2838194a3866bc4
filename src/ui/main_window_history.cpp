// Form1's job history window.
#include "history/job_history.h"
#include "ui/history_window.h"
#include "ui/main_window.h"

namespace tovrin {

QWidget* Form1::OpenHistory() {
  if (closed_) return nullptr;
  if (auto* open = findChild<HistoryWindow*>(QString(), Qt::FindDirectChildrenOnly)) {
    open->Reload();
    open->show();
    open->raise();
    open->activateWindow();
    return open;
  }
  // A row's preview is the last job's kept GLF of that drawing; the name and
  // the byte count tell it from an earlier job's drawing of the same name.
  auto open_preview = [this](const HistoryRow& row) -> QWidget* {
    const KeptPlot* plot = kept_plots_.FindNewest(row.drawing.name, row.glf_bytes);
    return plot ? ShowKept(plot->key) : nullptr;
  };
  auto* window =
      new HistoryWindow(options_.start_folder + "/" + kHistoryFileName, open_preview, this);
  window->show();
  return window;
}

}  // namespace tovrin
