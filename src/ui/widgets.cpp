#include "ui/widgets.h"

#include <QMouseEvent>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace tovrin {

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
      isEnabled())
    emit clicked();
}

QString CaptionLines(const QString& caption) {
  static const QRegularExpression kBreak(QStringLiteral("\r\n?| {2,}"));
  QString lines = caption;
  return lines.replace(kBreak, QStringLiteral("\n"));
}

void CaptionButton::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.text.clear();
  painter.drawControl(QStyle::CE_PushButton, option);
  style()->drawItemText(&painter, rect(), Qt::AlignCenter, palette(), isEnabled(),
                        CaptionLines(text()), QPalette::ButtonText);
}

}  // namespace tovrin
