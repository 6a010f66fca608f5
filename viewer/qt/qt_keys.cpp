// Qt keys, modifiers and buttons to the core's codes.
#include "viewer/qt/qt_keys.h"

namespace viewer {

std::uint16_t VirtualKeyFromQt(int qtKey) {
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
    return static_cast<std::uint16_t>('A' + (qtKey - Qt::Key_A));
  }
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) {
    return static_cast<std::uint16_t>(kVkF1 + (qtKey - Qt::Key_F1));
  }
  switch (qtKey) {
    case Qt::Key_Backspace:
      return kVkBack;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return kVkEnter;
    case Qt::Key_Escape:
      return kVkEscape;
    case Qt::Key_PageUp:
      return kVkPageUp;
    case Qt::Key_PageDown:
      return kVkPageDown;
    case Qt::Key_End:
      return kVkEnd;
    case Qt::Key_Home:
      return kVkHome;
    case Qt::Key_Left:
      return kVkLeft;
    case Qt::Key_Up:
      return kVkUp;
    case Qt::Key_Right:
      return kVkRight;
    case Qt::Key_Down:
      return kVkDown;
    default:
      return 0;
  }
}

ShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers) {
  return {modifiers.testFlag(Qt::ShiftModifier), modifiers.testFlag(Qt::ControlModifier),
          modifiers.testFlag(Qt::AltModifier)};
}

bool MouseButtonFromQt(Qt::MouseButton qtButton, MouseButton& button) {
  switch (qtButton) {
    case Qt::LeftButton:
      button = MouseButton::kLeft;
      return true;
    case Qt::RightButton:
      button = MouseButton::kRight;
      return true;
    case Qt::MiddleButton:
      button = MouseButton::kMiddle;
      return true;
    case Qt::BackButton:
      button = MouseButton::kBack;
      return true;
    case Qt::ForwardButton:
      button = MouseButton::kForward;
      return true;
    default:
      return false;
  }
}

}  // namespace viewer
