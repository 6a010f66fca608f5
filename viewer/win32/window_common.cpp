#include "viewer/win32/window_common.h"

namespace viewer::win32 {

bool RegisterWindowClass(const wchar_t* name, WindowClassLook look) {
  WNDCLASSEXW type{};
  type.cbSize = sizeof(type);
  type.lpfnWndProc = DefWindowProcW;
  type.hInstance = ::GetModuleHandleW(nullptr);
  if (look.programIcon) type.hIcon = ::LoadIconW(type.hInstance, MAKEINTRESOURCEW(1));
  type.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  if (look.dialogFace) {
    type.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  }
  type.lpszClassName = name;
  return ::RegisterClassExW(&type) != 0;
}

}  // namespace viewer::win32
