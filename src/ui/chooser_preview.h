// The file chooser's preview pane: the selected drawing translated in memory
// with the job's settings and drawn as it would be plotted.
#pragma once

#include <QFrame>
#include <cstdint>
#include <string>

#include "settings/plot_settings.h"

namespace tovrin {

class PlotView;

// Drawings above this size are not translated for a preview.
inline constexpr uint64_t kMaxPreviewOfiBytes = uint64_t{16} << 20;
// A translation running longer than this stops; the part made is shown.
inline constexpr int kPreviewTimeBudgetMs = 1500;

struct PreviewTranslation {
  std::string glf;      // the GLF made; empty when there is nothing to show
  std::string problem;  // why nothing, or only part, is shown
  bool partial = false;
};

// Translates the OFI at `ofi_path` in memory as a job with `settings` would.
PreviewTranslation TranslateForPreview(const std::string& ofi_path, const PlotSettings& settings,
                                       int budget_ms = kPreviewTimeBudgetMs);

class ChooserPreview : public QFrame {
 public:
  ChooserPreview(QWidget* parent, PlotSettings settings);

  // Translates and shows the drawing at `ofi_path` (at once, on this thread;
  // the size and time limits above bound the wait).
  void ShowDrawing(const std::string& ofi_path);
  void ShowNothing();

  // The drawing shown, empty when none.
  const std::string& Shown() const { return shown_; }
  PlotView* View() const { return view_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  PlotSettings settings_;
  PlotView* view_ = nullptr;
  std::string shown_;
};

}  // namespace tovrin
