// The key codes, shift state and mouse buttons that a front hands to the window core: the
// virtual-key codes of the keys the window looks at, whatever toolkit delivered the key.
#pragma once

#include <cstdint>

namespace viewer {

inline constexpr std::uint16_t kVkBack = 8;  // Backspace
inline constexpr std::uint16_t kVkTab = 9;
inline constexpr std::uint16_t kVkEnter = 13;
inline constexpr std::uint16_t kVkEscape = 27;
inline constexpr std::uint16_t kVkSpace = 32;
inline constexpr std::uint16_t kVkPageUp = 33;
inline constexpr std::uint16_t kVkPageDown = 34;
inline constexpr std::uint16_t kVkEnd = 35;
inline constexpr std::uint16_t kVkHome = 36;
inline constexpr std::uint16_t kVkLeft = 37;
inline constexpr std::uint16_t kVkUp = 38;
inline constexpr std::uint16_t kVkRight = 39;
inline constexpr std::uint16_t kVkDown = 40;
// The letters A to Z have the codes of their upper-case ASCII characters, the digits theirs.
inline constexpr std::uint16_t kVkC = 'C';
inline constexpr std::uint16_t kVkF = 'F';
inline constexpr std::uint16_t kVkO = 'O';
inline constexpr std::uint16_t kVkQ = 'Q';
inline constexpr std::uint16_t kVkW = 'W';
// F1 to F12 are 112 to 123.
inline constexpr std::uint16_t kVkF1 = 112;
inline constexpr std::uint16_t kVkF3 = 114;
inline constexpr std::uint16_t kVkF5 = 116;
inline constexpr std::uint16_t kVkF12 = 123;

struct ShiftState {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
};

// The mouse buttons that the list reports; kBack is the "back" side button, kForward the other.
enum class MouseButton { kLeft, kRight, kMiddle, kBack, kForward };

}  // namespace viewer
