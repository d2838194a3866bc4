// Every caption of the main window shows its whole text at the window's font.
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <cstdlib>

#include "screenshot.h"
#include "ui/widgets.h"
#include "window_fixture.h"

namespace tovrin::test {
namespace {

class LabelLayoutTest : public WindowTest {};

// The rectangle the text needs inside the label, as the label aligns it.
QRect TextRect(const QLabel& label) {
  const QRect area = label.contentsRect();
  const QFontMetrics metrics(label.font());
  const int flags = static_cast<int>(label.alignment()) | (label.wordWrap() ? Qt::TextWordWrap : 0);
  return metrics.boundingRect(area, flags, label.text());
}

TEST_F(LabelLayoutTest, EveryLabelShowsItsWholeText) {
  Form1& w = Open();
  w.show();
  ASSERT_TRUE(QFontInfo(w.font()).family().startsWith("IPA"))
      << QFontInfo(w.font()).family().toStdString();
  int checked = 0;
  for (QLabel* label : w.findChildren<QLabel*>()) {
    if (!label->isVisible() || label->text().isEmpty()) continue;
    SCOPED_TRACE(label->objectName().toStdString() + " \"" + label->text().toStdString() + "\"");
    ++checked;
    const QRect text = TextRect(*label);
    EXPECT_TRUE(label->contentsRect().contains(text))
        << "needs " << text.width() << "x" << text.height() << ", has "
        << label->contentsRect().width() << "x" << label->contentsRect().height();
    // No other control covers any part of the text.
    const QRect on_window(label->mapTo(&w, text.topLeft()), text.size());
    for (QWidget* other : w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (other == label || !other->isVisible()) continue;
      EXPECT_FALSE(other->geometry().intersects(on_window))
          << "covered by " << other->objectName().toStdString();
    }
  }
  EXPECT_GE(checked, 40);
  if (const char* shot = std::getenv("TOVRIN_MAIN_SCREENSHOT")) {
    EXPECT_TRUE(Save(w, shot));
  }
}

TEST_F(LabelLayoutTest, EveryButtonCaptionFits) {
  Form1& w = Open();
  w.show();
  for (QPushButton* button : w.findChildren<QPushButton*>()) {
    SCOPED_TRACE(button->objectName().toStdString());
    const QFontMetrics metrics(button->font());
    const QRect text =
        metrics.boundingRect(button->rect(), Qt::AlignCenter, CaptionLines(button->text()));
    EXPECT_TRUE(button->rect().contains(text)) << text.width() << "x" << text.height();
  }
}

}  // namespace
}  // namespace tovrin::test
