// The choice window: an optional edit field above a plain list box, and a text in place of an
// empty list.
#include "viewer/win32/choice_window.h"

#include <commctrl.h>

#include <utility>

#include "viewer/win32/fonts.h"
#include "viewer/win32/window_common.h"

namespace viewer::win32 {

namespace {

constexpr wchar_t kClassName[] = L"Kl7ChoiceWindow";
constexpr int kListId = 1;
// Its size when it opens and the field's height, at 96 dots per inch.
constexpr int kWidth = 560;
constexpr int kHeight = 360;
constexpr int kFieldHeight = 22;

void RegisterClassOnce() {
  static const bool registered = RegisterWindowClass(kClassName, {});
  (void)registered;
}

}  // namespace

ChoiceWindow::ChoiceWindow(HWND owner, bool withField, std::function<void(int)> chosen,
                           std::function<void(const std::u16string&)> searched)
    : m_chosen(std::move(chosen)), m_searched(std::move(searched)) {
  RegisterClassOnce();
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  m_window =
      ::CreateWindowExW(0, kClassName, L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                        CW_USEDEFAULT, kWidth, kHeight, owner, nullptr, instance, nullptr);
  ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure));
  if (withField) {
    m_field = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 0, 0,
                                m_window, nullptr, instance, nullptr);
    ::SetWindowSubclass(m_field, &ControlSubclass, 1, reinterpret_cast<DWORD_PTR>(this));
  }
  m_list =
      ::CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", nullptr,
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY |
                            LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                        0, 0, 0, 0, m_window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), instance, nullptr);
  ::SetWindowSubclass(m_list, &ControlSubclass, 1, reinterpret_cast<DWORD_PTR>(this));
  m_empty = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0,
                              m_window, nullptr, instance, nullptr);
}

void ChoiceWindow::Open(const std::u16string& title, unsigned dpi) {
  ::SetWindowTextW(m_window, Wide(title).c_str());
  if (!::IsWindowVisible(m_window)) {
    m_dpi = dpi;
    ::SetWindowPos(m_window, nullptr, 0, 0, Scale(kWidth, dpi), Scale(kHeight, dpi),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Arrange();
  }
  ::ShowWindow(m_window, SW_SHOWNORMAL);
  ::SetForegroundWindow(m_window);
  ::SetFocus(m_field != nullptr ? m_field : m_list);
}

void ChoiceWindow::ShowRows(const std::vector<std::u16string>& rows,
                            const std::u16string& emptyText) {
  ::SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(m_list, LB_RESETCONTENT, 0, 0);
  m_widest = 0;
  AddRows(rows);
  ::SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
  ::SetWindowTextW(m_empty, Wide(emptyText).c_str());
  const bool empty = rows.empty();
  ::ShowWindow(m_list, empty ? SW_HIDE : SW_SHOW);
  ::ShowWindow(m_empty, empty ? SW_SHOW : SW_HIDE);
  if (!empty) {
    ::SendMessageW(m_list, LB_SETCURSEL, 0, 0);
    ::SetFocus(m_list);
  } else if (m_field != nullptr) {
    ::SetFocus(m_field);
  }
  ::InvalidateRect(m_list, nullptr, TRUE);
}

void ChoiceWindow::AppendRows(const std::vector<std::u16string>& rows) {
  if (rows.empty()) return;
  const bool first = ::SendMessageW(m_list, LB_GETCOUNT, 0, 0) <= 0;
  AddRows(rows);
  if (!first) return;
  ::ShowWindow(m_empty, SW_HIDE);
  ::ShowWindow(m_list, SW_SHOW);
  ::SendMessageW(m_list, LB_SETCURSEL, 0, 0);
  // Only while the window is shown: a window the user closed stays closed.
  if (::IsWindowVisible(m_window)) ::SetFocus(m_list);
}

void ChoiceWindow::AddRows(const std::vector<std::u16string>& rows) {
  HDC dc = ::GetDC(m_list);
  HGDIOBJ old =
      ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(m_list, WM_GETFONT, 0, 0)));
  for (const std::u16string& row : rows) {
    const std::wstring text = Wide(row);
    ::SendMessageW(m_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    if (size.cx > m_widest) m_widest = size.cx;
  }
  ::SelectObject(dc, old);
  ::ReleaseDC(m_list, dc);
  ::SendMessageW(m_list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(m_widest + Scale(4, m_dpi)),
                 0);
}

void ChoiceWindow::SetFont(HFONT font) {
  for (HWND control : {m_field, m_list, m_empty}) {
    if (control != nullptr)
      ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
}

void ChoiceWindow::Arrange() {
  RECT client;
  ::GetClientRect(m_window, &client);
  int top = 0;
  if (m_field != nullptr) {
    top = Scale(kFieldHeight, m_dpi);
    ::MoveWindow(m_field, 0, 0, client.right, top, TRUE);
  }
  ::MoveWindow(m_list, 0, top, client.right, client.bottom - top, TRUE);
  const int margin = Scale(4, m_dpi);
  ::MoveWindow(m_empty, margin, top + margin, client.right - 2 * margin,
               client.bottom - top - 2 * margin, TRUE);
}

void ChoiceWindow::Choose() {
  const LRESULT row = ::SendMessageW(m_list, LB_GETCURSEL, 0, 0);
  if (row == LB_ERR || !::IsWindowVisible(m_list)) return;
  Hide();
  if (m_chosen) m_chosen(static_cast<int>(row));
}

void ChoiceWindow::Hide() {
  if (!::IsWindowVisible(m_window)) return;
  ::ShowWindow(m_window, SW_HIDE);  // kept for the next time
  if (m_closed) m_closed();
}

LRESULT CALLBACK ChoiceWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<ChoiceWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self != nullptr) {
    switch (message) {
      case WM_SIZE:
        self->Arrange();
        return 0;
      case WM_DPICHANGED: {
        self->m_dpi = LOWORD(wParam);
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(window, nullptr, suggested->left, suggested->top,
                       suggested->right - suggested->left, suggested->bottom - suggested->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
      }
      case WM_SETFOCUS:
        ::SetFocus(self->m_field != nullptr ? self->m_field : self->m_list);
        return 0;
      case WM_COMMAND:
        if (LOWORD(wParam) == kListId && HIWORD(wParam) == LBN_DBLCLK) self->Choose();
        return 0;
      case WM_CTLCOLORSTATIC:
        // The text in place of an empty list on the window's face.
        ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
      case WM_CLOSE:
        self->Hide();
        return 0;
      default:
        break;
    }
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ChoiceWindow::ControlSubclass(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<ChoiceWindow*>(data);
  if (message == WM_KEYDOWN) {
    switch (wParam) {
      case VK_ESCAPE:
        self->Hide();
        return 0;
      case VK_RETURN:
        if (window == self->m_field) {
          const int length = ::GetWindowTextLengthW(window);
          std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
          ::GetWindowTextW(window, text.data(), length + 1);
          text.resize(static_cast<std::size_t>(length));
          if (self->m_searched) self->m_searched(std::u16string(text.begin(), text.end()));
        } else {
          self->Choose();
        }
        return 0;
      case VK_TAB:
        if (self->m_field != nullptr)
          ::SetFocus(window == self->m_field ? self->m_list : self->m_field);
        return 0;
      default:
        break;
    }
  }
  if (message == WM_CHAR && (wParam == L'\r' || wParam == L'\t' || wParam == 27))
    return 0;  // handled as keys above; no beep
  return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace viewer::win32
