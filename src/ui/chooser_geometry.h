// Twips layout and remembered positions of the chooser windows.
#pragma once

#include "ui/file_chooser.h"

class QWidget;

namespace tovrin {

// Twips to device-independent pixels at the widget's logical dpi
// (1440 twips per inch: 15 twips a pixel at 96 dpi).
int TwipsToPixelsX(const QWidget* w, int twips);
int TwipsToPixelsY(const QWidget* w, int twips);

// Places `child` at the twips rectangle inside its parent.
void SetTwipsGeometry(QWidget* child, int left, int top, int width, int height);

// Gives a top-level window a fixed client area of the twips size.
void SetTwipsClientSize(QWidget* window, int width, int height);

// Moves a top-level window to the remembered position.
void MoveToTwips(QWidget* window, const ChooserPosition& position);

// The window's position in twips, each rounded to 16 bits with ties to even;
// a coordinate out of range keeps its value from `previous`.
ChooserPosition TwipsPositionOf(const QWidget* window, const ChooserPosition& previous);

}  // namespace tovrin
