// Fitting the main window to the screen it opens on.
#include "viewer/qt/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "viewer/core/layout.h"

namespace viewer {

namespace {

QRect FitFrame(const QRect& frame, const QRect& available) {
  const Rect fitted = viewer::FitFrame(
      Rect{frame.left(), frame.top(), frame.width(), frame.height()},
      Rect{available.left(), available.top(), available.width(), available.height()});
  return {fitted.left, fitted.top, fitted.width, fitted.height};
}

}  // namespace

void PlaceWindow(QWidget& window, QPoint position, QSize clientSize, QMargins frameMargins) {
  QScreen* screen = QGuiApplication::screenAt(position);
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  const QRect wanted(position, clientSize.grownBy(frameMargins));
  const QRect fitted = screen != nullptr ? FitFrame(wanted, screen->availableGeometry()) : wanted;
  // A top-level widget's position is that of its frame, its size that of its client area.
  window.move(fitted.topLeft());
  window.resize(fitted.size().shrunkBy(frameMargins));
}

}  // namespace viewer
