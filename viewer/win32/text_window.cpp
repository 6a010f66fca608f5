// The text window: a read-only edit control that fills a plain top-level window.
#include "viewer/win32/text_window.h"

#include <commctrl.h>

#include "viewer/win32/fonts.h"
#include "viewer/win32/window_common.h"

namespace viewer::win32 {

namespace {

constexpr wchar_t kClassName[] = L"Kl7TextWindow";
// Its size when it opens, at 96 dots per inch.
constexpr int kWidth = 560;
constexpr int kHeight = 420;

void RegisterClassOnce() {
  static const bool registered = RegisterWindowClass(kClassName, {});
  (void)registered;
}

}  // namespace

TextWindow::TextWindow(HWND owner) {
  RegisterClassOnce();
  m_window =
      ::CreateWindowExW(0, kClassName, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        kWidth, kHeight, owner, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure));
  m_edit = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                 ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                             0, 0, 0, 0, m_window, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ::SetWindowSubclass(m_edit, &EditSubclass, 1, reinterpret_cast<DWORD_PTR>(this));
}

void TextWindow::Show(const std::u16string& title, const std::u16string& text, unsigned dpi) {
  std::wstring lines;
  for (char16_t character : text) {
    if (character == u'\n') lines += L'\r';
    lines += static_cast<wchar_t>(character);
  }
  ::SetWindowTextW(m_window, std::wstring(title.begin(), title.end()).c_str());
  ::SetWindowTextW(m_edit, lines.c_str());
  if (!::IsWindowVisible(m_window)) {
    ::SetWindowPos(m_window, nullptr, 0, 0, Scale(kWidth, dpi), Scale(kHeight, dpi),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::ShowWindow(m_window, SW_SHOWNORMAL);
  ::SetForegroundWindow(m_window);
  ::SetFocus(m_edit);
}

void TextWindow::SetFont(HFONT font) {
  ::SendMessageW(m_edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

LRESULT CALLBACK TextWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TextWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self != nullptr) {
    switch (message) {
      case WM_SIZE:
        ::MoveWindow(self->m_edit, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
      case WM_SETFOCUS:
        ::SetFocus(self->m_edit);
        return 0;
      case WM_CLOSE:
        ::ShowWindow(window, SW_HIDE);  // kept for the next time
        return 0;
      default:
        break;
    }
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK TextWindow::EditSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR, DWORD_PTR self) {
  if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
    ::ShowWindow(reinterpret_cast<TextWindow*>(self)->m_window, SW_HIDE);
    return 0;
  }
  return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace viewer::win32
