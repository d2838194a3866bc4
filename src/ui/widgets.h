// Small widgets the main window is built from.
#pragma once

#include <QLabel>
#include <QPushButton>

namespace tovrin {

// A caption label that reports a click (mouse released over it). A disabled
// label gets no mouse events, so it ignores clicks.
class ClickLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// A button whose caption may run over several lines: a CR, or a run of
// blanks, starts a new line, as the captions are written for narrow buttons.
class CaptionButton : public QPushButton {
  Q_OBJECT
 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// The lines a caption is shown in.
QString CaptionLines(const QString& caption);

}  // namespace tovrin
