// Where the main window opens: at its own place and size where they fit the screen, otherwise
// moved and, if need be, shrunk into the screen's available area.
#pragma once

#include <QMargins>
#include <QRect>

class QWidget;

namespace viewer {

// Places the top-level `window` with its frame at `position` and its client area at `clientSize`,
// fitted to the available area of the screen at `position` (the primary screen when no screen is
// there). `frameMargins` is the frame that the window system is expected to put around the client
// area; before the window is shown, the real one is not known.
void PlaceWindow(QWidget& window, QPoint position, QSize clientSize, QMargins frameMargins);

}  // namespace viewer
