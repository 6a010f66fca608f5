// The key codes and shift state that the window's key handlers receive: the virtual-key codes of
// the keys they look at, whatever toolkit delivered the key.
#pragma once

#include <Qt>
#include <cstdint>

namespace viewer {

inline constexpr std::uint16_t kVkBack = 8;  // Backspace
inline constexpr std::uint16_t kVkEnter = 13;
inline constexpr std::uint16_t kVkEscape = 27;
inline constexpr std::uint16_t kVkPageUp = 33;
inline constexpr std::uint16_t kVkPageDown = 34;
inline constexpr std::uint16_t kVkEnd = 35;
inline constexpr std::uint16_t kVkHome = 36;
inline constexpr std::uint16_t kVkLeft = 37;
inline constexpr std::uint16_t kVkUp = 38;
inline constexpr std::uint16_t kVkRight = 39;
inline constexpr std::uint16_t kVkDown = 40;
// The letters A to Z have the codes of their upper-case ASCII characters.
inline constexpr std::uint16_t kVkC = 'C';

struct ShiftState {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
};

// The mouse buttons that the list reports; kBack is the "back" side button.
enum class MouseButton { kLeft, kRight, kMiddle, kBack };

// The virtual-key code of a Qt key; both Return and the keypad's Enter give 13, the letters give
// their upper-case ASCII codes. Keys that no handler looks at give 0.
[[nodiscard]] std::uint16_t VirtualKeyFromQt(int qtKey);

[[nodiscard]] ShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers);

}  // namespace viewer
