// What the front's own windows share: how their window classes are registered, and wide text.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace viewer::win32 {

// How a window class looks before its windows draw anything themselves.
struct WindowClassLook {
  bool dialogFace = true;    // the background in the system's dialog colour
  bool programIcon = false;  // the program's icon (resource 1)
};

// Registers the window class `name` with the arrow cursor and DefWindowProcW as its procedure
// (each window installs its own once it is created); false when the system refuses it. Callers
// register each class once, before its first window.
bool RegisterWindowClass(const wchar_t* name, WindowClassLook look);

// UTF-16 text as the system's wide calls take it.
[[nodiscard]] inline std::wstring Wide(std::u16string_view text) {
  return {text.begin(), text.end()};
}

}  // namespace viewer::win32
