#include "ui/preview_window.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "preview/hpgl_parser.h"
#include "preview/preview_texts.h"

namespace tovrin {
namespace {

// One notch of a mouse wheel (120 eighths of a degree) zooms by this much.
constexpr double kZoomPerNotch = 1.25;

QString Q(const char* text) { return QString::fromUtf8(text); }

}  // namespace

QString PlotNote(const preview::PlotPicture& picture) {
  if (picture.truncated) return Q(preview::texts::kSimplified);
  if (picture.extra_pages > 0) return Q("最初のページだけを表示しています");
  return {};
}

PlotView::PlotView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("PlotView"));
  setMinimumSize(64, 48);
  setMouseTracking(false);
  setCursor(Qt::OpenHandCursor);
  options_.margin_px = 6;
  settle_timer_.setSingleShot(true);
  settle_timer_.setInterval(kSettleMs);
  connect(&settle_timer_, &QTimer::timeout, this, [this] { RenderNow(); });
}

void PlotView::SetPicture(preview::PlotPicture picture) {
  picture_ = std::move(picture);
  has_picture_ = true;
  message_.clear();
  zoom_ = 1;
  pan_ = {};
  rendered_ = QImage();  // the next paint renders the new picture
  update();
  emit ViewChanged();
}

void PlotView::ShowMessage(const QString& message) {
  picture_ = {};
  has_picture_ = false;
  message_ = message;
  note_.clear();
  rendered_ = QImage();
  settle_timer_.stop();
  update();
}

void PlotView::SetNote(const QString& note) {
  note_ = note;
  update();
}

QTransform PlotView::View() const {
  const QTransform fit = preview::ViewTransform(picture_, QRectF(rect()), options_);
  return fit * QTransform(zoom_, 0, 0, zoom_, pan_.x(), pan_.y());
}

void PlotView::ZoomAt(QPointF at, double factor) {
  if (!has_picture_ || !std::isfinite(factor) || factor <= 0) return;
  const double zoom = std::clamp(zoom_ * factor, kMinZoom, kMaxZoom);
  const double applied = zoom / zoom_;
  if (applied == 1) return;
  // The point under the cursor keeps its place: at = zoom * q + pan for it.
  pan_ = at - applied * (at - pan_);
  zoom_ = zoom;
  ViewMoved();
}

void PlotView::PanBy(QPointF by) {
  if (!has_picture_ || by.isNull()) return;
  // The sheet never leaves the view entirely: keep its centre within reach.
  const double limit = 2.0 * std::max(width(), height()) * zoom_;
  pan_ = QPointF(std::clamp(pan_.x() + by.x(), -limit, limit),
                 std::clamp(pan_.y() + by.y(), -limit, limit));
  ViewMoved();
}

void PlotView::FitSheet() {
  if (!has_picture_) return;
  zoom_ = 1;
  pan_ = {};
  ViewMoved();
}

void PlotView::ViewMoved() {
  settle_timer_.start();
  update();
  emit ViewChanged();
}

void PlotView::RenderNow() {
  settle_timer_.stop();
  if (!has_picture_ || width() <= 0 || height() <= 0) return;
  const qreal ratio = devicePixelRatioF();
  QImage image(size() * ratio, QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(options_.background);
  QPainter painter(&image);
  const QTransform view = View();
  preview::Paint(painter, picture_, view, options_);
  painter.end();
  rendered_ = std::move(image);
  rendered_view_ = view;
  ++renderings_;
  update();
}

void PlotView::paintEvent(QPaintEvent*) {
  if (has_picture_ && rendered_.isNull()) RenderNow();
  QPainter painter(this);
  painter.fillRect(rect(), options_.background);
  if (!has_picture_) {
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect().adjusted(6, 6, -6, -6), Qt::AlignCenter | Qt::TextWordWrap, message_);
    return;
  }
  const QTransform view = View();
  if (view != rendered_view_) {
    // Until the sharp rendering comes: the last one, moved to the new view.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setTransform(rendered_view_.inverted() * view);
  }
  painter.drawImage(QPointF(0, 0), rendered_);
  painter.resetTransform();
  PaintNote(painter);
}

void PlotView::PaintNote(QPainter& painter) {
  if (note_.isEmpty()) return;
  QRect box = painter.fontMetrics().boundingRect(rect().adjusted(4, 4, -4, -4),
                                                 Qt::AlignLeft | Qt::AlignTop, note_);
  box.adjust(-3, -1, 3, 1);
  painter.fillRect(box, QColor(255, 255, 220));
  painter.setPen(Qt::black);
  painter.drawText(box, Qt::AlignCenter, note_);
}

void PlotView::resizeEvent(QResizeEvent*) {
  if (!has_picture_) return;
  if (rendered_.isNull()) return;  // the first paint renders
  settle_timer_.start();
  emit ViewChanged();
}

void PlotView::wheelEvent(QWheelEvent* event) {
  const int steps = event->angleDelta().y();
  if (steps == 0) {
    event->ignore();
    return;
  }
  ZoomAt(event->position(), std::pow(kZoomPerNotch, steps / 120.0));
  event->accept();
}

void PlotView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  dragging_ = true;
  drag_from_ = event->position().toPoint();
  setCursor(Qt::ClosedHandCursor);
}

void PlotView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return QWidget::mouseMoveEvent(event);
  const QPoint at = event->position().toPoint();
  PanBy(at - drag_from_);
  drag_from_ = at;
}

void PlotView::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
  dragging_ = false;
  setCursor(Qt::OpenHandCursor);
}

void PlotView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) FitSheet();
}

PreviewWindow::PreviewWindow(const std::string& name, std::string_view glf, uint64_t key,
                             QWidget* parent, const preview::ParseLimits& limits)
    : QWidget(parent, Qt::Window), name_(name), key_(key) {
  setObjectName(QStringLiteral("PreviewWindow"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QString::fromStdString(name) + Q(" - プレビュー"));
  resize(900, 660);

  view_ = new PlotView(this);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("PreviewStatus"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 2);
  layout->setSpacing(2);
  layout->addWidget(view_, 1);
  layout->addWidget(status_);

  preview::PlotPicture picture = preview::ParseGlf(glf, limits);
  const QString note = PlotNote(picture);
  view_->SetPicture(std::move(picture));
  view_->SetNote(note);
  connect(view_, &PlotView::ViewChanged, this, &PreviewWindow::ShowZoom);
  ShowZoom();
}

void PreviewWindow::ShowZoom() {
  status_->setText(Q("　ホイール: 拡大・縮小　ドラッグ: 移動　ダブルクリック: 全体　　") +
                   QString::number(qRound(view_->Zoom() * 100)) + QStringLiteral(" %"));
}

}  // namespace tovrin
