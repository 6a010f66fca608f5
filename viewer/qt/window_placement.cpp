// Fitting the main window to the screen it opens on.
#include "viewer/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace viewer {

QRect FitFrame(const QRect& frame, const QRect& available) {
  if (available.isEmpty()) return frame;
  const int width = std::min(frame.width(), available.width());
  const int height = std::min(frame.height(), available.height());
  const int left = std::clamp(frame.left(), available.left(), available.right() - width + 1);
  const int top = std::clamp(frame.top(), available.top(), available.bottom() - height + 1);
  return {left, top, width, height};
}

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
