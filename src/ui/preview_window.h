// A drawing's plot on screen: the canvas (also the file chooser's preview
// pane) and the preview window the job log opens.
#pragma once

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QString>
#include <QTimer>
#include <QTransform>
#include <QWidget>
#include <cstdint>
#include <string>
#include <string_view>

#include "preview/hpgl_parser.h"
#include "preview/plot_picture.h"
#include "preview/preview_render.h"

class QLabel;

namespace tovrin {

// What a shown picture may hold; past it the picture is marked simplified (PlotNote).
inline constexpr preview::ParseLimits kPlotViewLimits = preview::kViewLimits;

// The note a picture gets: that it stops at the drawing limit, or shows the
// first page only; empty when it is whole.
QString PlotNote(const preview::PlotPicture& picture);

// Shows a parsed plot: the whole sheet fits at zoom 1, the wheel zooms about
// the cursor, dragging pans, a double-click fits the sheet again. Every view
// change first shows the last rendering moved into place and renders sharply
// once the view has stood still for a moment, so a dense drawing costs one
// rendering per pause, not one per wheel step or mouse move.
class PlotView : public QWidget {
  Q_OBJECT
 public:
  static constexpr double kMinZoom = 0.5;
  static constexpr double kMaxZoom = 400;
  static constexpr int kSettleMs = 80;

  explicit PlotView(QWidget* parent = nullptr);

  // Shows `picture` fitted to the view.
  void SetPicture(preview::PlotPicture picture);
  // Shows `message` instead of a picture.
  void ShowMessage(const QString& message);
  // A short note drawn over the picture's corner (e.g. that it is partial).
  void SetNote(const QString& note);

  bool HasPicture() const { return has_picture_; }
  const preview::PlotPicture& Picture() const { return picture_; }
  const QString& Message() const { return message_; }
  const QString& Note() const { return note_; }
  double Zoom() const { return zoom_; }

  // Plotter units to widget pixels as the view stands now.
  QTransform View() const;
  // Zooms by `factor` keeping the point under `at` (widget pixels) in place.
  void ZoomAt(QPointF at, double factor);
  void PanBy(QPointF by);
  void FitSheet();
  // Renders at once instead of after the pause (and when nothing is shown).
  void RenderNow();
  // How many sharp renderings were made (tests see the work stays bounded).
  int Renderings() const { return renderings_; }

 signals:
  void ViewChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void ViewMoved();
  void PaintNote(QPainter& painter);

  preview::PlotPicture picture_;
  preview::RenderOptions options_;
  bool has_picture_ = false;
  QString message_;
  QString note_;
  double zoom_ = 1;
  QPointF pan_;  // pixels, applied after the fit and the zoom
  QImage rendered_;
  QTransform rendered_view_;
  QTimer settle_timer_;
  bool dragging_ = false;
  QPoint drag_from_;
  int renderings_ = 0;
};

// The window of one drawing from the job log.
class PreviewWindow : public QWidget {
  Q_OBJECT
 public:
  // `glf` is the drawing's whole GLF; `key` says which kept drawing it is.
  PreviewWindow(const std::string& name, std::string_view glf, uint64_t key,
                QWidget* parent = nullptr, const preview::ParseLimits& limits = kPlotViewLimits);

  PlotView* View() const { return view_; }
  uint64_t Key() const { return key_; }
  const std::string& DrawingName() const { return name_; }

 private:
  void ShowZoom();

  PlotView* view_ = nullptr;
  QLabel* status_ = nullptr;
  std::string name_;
  uint64_t key_ = 0;
};

}  // namespace tovrin
