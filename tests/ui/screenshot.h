// Grabbing a window as a PNG for the screenshot tests.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QWidget>
#include <string>

namespace tovrin::test {

// Lets the event loop run for `ms` milliseconds.
inline void Settle(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Shows the window, lets background work (the folder tree) finish, saves it.
inline bool Save(QWidget& window, const std::string& path) {
  window.show();
  window.raise();
  Settle(600);
  return window.grab().save(QString::fromStdString(path), "PNG");
}

}  // namespace tovrin::test
