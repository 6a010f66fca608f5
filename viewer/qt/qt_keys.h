// Qt's keys, modifiers and mouse buttons as the window core receives them.
#pragma once

#include <Qt>
#include <cstdint>

#include "viewer/core/virtual_keys.h"

namespace viewer {

// The virtual-key code of a Qt key; both Return and the keypad's Enter give 13, the letters give
// their upper-case ASCII codes. Keys that the window never looks at give 0.
[[nodiscard]] std::uint16_t VirtualKeyFromQt(int qtKey);

[[nodiscard]] ShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers);

// The button as the core knows it; nothing for the buttons it does not.
[[nodiscard]] bool MouseButtonFromQt(Qt::MouseButton qtButton, MouseButton& button);

}  // namespace viewer
