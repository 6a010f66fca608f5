// Fitting the window to the screen, and its controls to the window.
#include "viewer/core/layout.h"

#include <algorithm>

namespace viewer {

Rect FitFrame(const Rect& frame, const Rect& available) {
  if (available.width <= 0 || available.height <= 0) return frame;
  const int width = std::min(frame.width, available.width);
  const int height = std::min(frame.height, available.height);
  const int left = std::clamp(frame.left, available.left, available.left + available.width - width);
  const int top = std::clamp(frame.top, available.top, available.top + available.height - height);
  return {left, top, width, height};
}

ControlPlaces PlaceControls(int clientWidth, int clientHeight) {
  const int width = std::max(0, clientWidth);
  return {
      {0, 0, width, kToolBarHeight},
      {kLabelLeft, kLabelTop, std::max(0, width - kLabelWidthShortfall), kLabelHeight},
      {0, kToolBarHeight, width, std::max(0, clientHeight - kToolBarHeight)},
  };
}

}  // namespace viewer
