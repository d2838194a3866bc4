#include "ui/chooser_geometry.h"

#include <QWidget>

#include "settings/values.h"

namespace tovrin {
namespace {

constexpr double kTwipsPerInch = 1440.0;

int ToPixels(int twips, int dpi) {
  return static_cast<int>(RoundHalfEven(twips * static_cast<double>(dpi) / kTwipsPerInch));
}

int16_t ToTwips(int pixels, int dpi, int16_t previous) {
  if (dpi <= 0) return previous;
  return RoundToInt16(pixels * kTwipsPerInch / dpi).value_or(previous);
}

}  // namespace

int TwipsToPixelsX(const QWidget* w, int twips) { return ToPixels(twips, w->logicalDpiX()); }
int TwipsToPixelsY(const QWidget* w, int twips) { return ToPixels(twips, w->logicalDpiY()); }

void SetTwipsGeometry(QWidget* child, int left, int top, int width, int height) {
  child->setGeometry(TwipsToPixelsX(child, left), TwipsToPixelsY(child, top),
                     TwipsToPixelsX(child, width), TwipsToPixelsY(child, height));
}

void SetTwipsClientSize(QWidget* window, int width, int height) {
  window->setFixedSize(TwipsToPixelsX(window, width), TwipsToPixelsY(window, height));
}

void MoveToTwips(QWidget* window, const ChooserPosition& position) {
  window->move(TwipsToPixelsX(window, position.left), TwipsToPixelsY(window, position.top));
}

ChooserPosition TwipsPositionOf(const QWidget* window, const ChooserPosition& previous) {
  QPoint at = window->pos();
  return {ToTwips(at.y(), window->logicalDpiY(), previous.top),
          ToTwips(at.x(), window->logicalDpiX(), previous.left)};
}

}  // namespace tovrin
