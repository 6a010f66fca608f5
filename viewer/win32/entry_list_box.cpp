// The owner-data list box: rows drawn from the shared list, input handed to the window core.
#include "viewer/win32/entry_list_box.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "text/codepage.h"
#include "viewer/core/kelmform_core.h"
#include "viewer/core/list_behaviour.h"

namespace viewer::win32 {

namespace {

std::wstring RowText(const core::tcodelist& list, std::size_t row) {
  const core::EntryText entry = list[row];
  std::wstring text;
  text.reserve(entry.size());
  for (std::string_view part : {entry.head, entry.tail}) {
    for (char byte : part)
      text += text::Cp1252ToUnicode(static_cast<std::uint8_t>(byte));
  }
  return text;
}

ShiftState CurrentShiftState() {
  ShiftState shift;
  shift.shift = (::GetKeyState(VK_SHIFT) & 0x8000) != 0;
  shift.ctrl = (::GetKeyState(VK_CONTROL) & 0x8000) != 0;
  shift.alt = (::GetKeyState(VK_MENU) & 0x8000) != 0;
  return shift;
}

MouseButton ButtonOf(UINT message, WPARAM wParam) {
  switch (message) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_RBUTTONUP:
      return MouseButton::kRight;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_MBUTTONUP:
      return MouseButton::kMiddle;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONDBLCLK:
    case WM_XBUTTONUP:
      return GET_XBUTTON_WPARAM(wParam) == XBUTTON1 ? MouseButton::kBack : MouseButton::kForward;
    default:
      return MouseButton::kLeft;
  }
}

}  // namespace

EntryListBox::EntryListBox(HWND parent, int id) {
  m_window = ::CreateWindowExW(
      WS_EX_CLIENTEDGE, L"LISTBOX", nullptr,
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NODATA |
          LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY | LBS_DISABLENOSCROLL,
      0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      ::GetModuleHandleW(nullptr), nullptr);
  ::SetWindowSubclass(m_window, &Subclass, 1, reinterpret_cast<DWORD_PTR>(this));
}

EntryListBox::~EntryListBox() {
  if (::IsWindow(m_window)) ::RemoveWindowSubclass(m_window, &Subclass, 1);
}

void EntryListBox::SetFonts(HFONT rowFont, HFONT selectedFont, int rowHeight, int textMargin) {
  m_rowFont = rowFont;
  m_selectedFont = selectedFont;
  m_rowHeight = std::max(1, rowHeight);
  m_textMargin = textMargin;
  ::SendMessageW(m_window, WM_SETFONT, reinterpret_cast<WPARAM>(rowFont), FALSE);
  ::SendMessageW(m_window, LB_SETITEMHEIGHT, 0, MAKELPARAM(m_rowHeight, 0));
  UpdateHorizontalExtent();
  ::InvalidateRect(m_window, nullptr, TRUE);
}

void EntryListBox::Show(std::shared_ptr<const core::tcodelist> list) {
  m_list = std::move(list);
  ::SendMessageW(m_window, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(m_window, LB_RESETCONTENT, 0, 0);
  const std::size_t count = m_list ? m_list->Count() : 0;
  ::SendMessageW(m_window, LB_SETCOUNT, count, 0);
  ::SendMessageW(m_window, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  ::SendMessageW(m_window, LB_SETTOPINDEX, 0, 0);
  UpdateHorizontalExtent();
  ::SendMessageW(m_window, WM_HSCROLL, MAKEWPARAM(SB_TOP, 0), 0);
  ::SendMessageW(m_window, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(m_window, nullptr, TRUE);
}

int EntryListBox::Count() const {
  return static_cast<int>(::SendMessageW(m_window, LB_GETCOUNT, 0, 0));
}

int EntryListBox::ItemIndex() const {
  const LRESULT selected = ::SendMessageW(m_window, LB_GETCURSEL, 0, 0);
  return selected == LB_ERR ? -1 : static_cast<int>(selected);
}

void EntryListBox::SetItemIndex(int index) {
  if (index < 0 || index >= Count()) {
    // Nothing selected; the scrolling stays.
    const int top = TopIndex();
    ::SendMessageW(m_window, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    ::SendMessageW(m_window, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    return;
  }
  // Selecting scrolls the row into view as little as needed.
  ::SendMessageW(m_window, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int EntryListBox::TopIndex() const {
  return static_cast<int>(::SendMessageW(m_window, LB_GETTOPINDEX, 0, 0));
}

void EntryListBox::SetTopIndex(int index) {
  const int last = std::max(0, Count() - VisibleRows());
  ::SendMessageW(m_window, LB_SETTOPINDEX, static_cast<WPARAM>(std::clamp(index, 0, last)), 0);
}

int EntryListBox::VisibleRows() const {
  RECT client;
  ::GetClientRect(m_window, &client);
  return std::max(1, static_cast<int>(client.bottom - client.top) / m_rowHeight);
}

int EntryListBox::RowAt(int y) const {
  const int count = Count();
  if (count == 0) return -1;
  const int offset = y < 0 ? 0 : y / m_rowHeight;
  return std::clamp(TopIndex() + offset, 0, count - 1);
}

void EntryListBox::UpdateHorizontalExtent() {
  int width = 0;
  if (m_list && m_list->Count() > 0 && m_rowFont != nullptr) {
    HDC dc = ::GetDC(m_window);
    HGDIOBJ old = ::SelectObject(dc, m_rowFont);
    // Every byte's advance once, then the row estimated widest measured whole.
    std::array<int, 256> advances{};
    for (int byte = 0; byte < 256; ++byte) {
      const wchar_t character = text::Cp1252ToUnicode(static_cast<std::uint8_t>(byte));
      SIZE size{};
      ::GetTextExtentPoint32W(dc, &character, 1, &size);
      advances[static_cast<std::size_t>(byte)] = size.cx;
    }
    const WidestRow widest = EstimateWidestRow(*m_list, advances);
    if (widest.row >= 0) {
      const std::wstring text = RowText(*m_list, static_cast<std::size_t>(widest.row));
      SIZE size{};
      ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
      width = std::max<int>(size.cx, widest.estimate) + 2 * m_textMargin;
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(m_window, dc);
  }
  ::SendMessageW(m_window, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(width), 0);
}

void EntryListBox::DrawRow(const DRAWITEMSTRUCT& item) const {
  HDC dc = item.hDC;
  RECT rect = item.rcItem;
  const bool haveRow = m_list && static_cast<int>(item.itemID) >= 0 &&
                       static_cast<std::size_t>(item.itemID) < m_list->Count();
  if (haveRow && (item.itemAction & (ODA_DRAWENTIRE | ODA_SELECT)) != 0) {
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    ::FillRect(dc, &rect, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    HGDIOBJ old = ::SelectObject(dc, selected ? m_selectedFont : m_rowFont);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    std::wstring text = RowText(*m_list, item.itemID);
    RECT textRect = rect;
    textRect.left += m_textMargin;
    ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &textRect,
                DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    ::SelectObject(dc, old);
  }
  if ((item.itemState & ODS_FOCUS) != 0 && (item.itemAction & (ODA_DRAWENTIRE | ODA_FOCUS)) != 0)
    ::DrawFocusRect(dc, &rect);
}

bool EntryListBox::Forward(UINT message, WPARAM wParam, LPARAM lParam) {
  const bool mouseMessage =
      message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN ||
      message == WM_XBUTTONDOWN || message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK ||
      message == WM_MBUTTONDBLCLK || message == WM_XBUTTONDBLCLK || message == WM_LBUTTONUP ||
      message == WM_RBUTTONUP || message == WM_MBUTTONUP || message == WM_XBUTTONUP ||
      message == WM_MOUSEMOVE;
  const bool keyMessage = message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR;
  if (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP) {
    // Keys with Alt (and F10) go to the core too, and on to the system as well, so that Alt+F4
    // and the window menu keep working.
    if (m_core != nullptr) {
      const auto key = static_cast<std::uint16_t>(wParam);
      if (message == WM_SYSKEYDOWN) {
        m_core->OnKeyDown(key, CurrentShiftState());
      } else {
        m_core->OnKeyUp(key, CurrentShiftState());
      }
    }
    return false;
  }
  if (!mouseMessage && !keyMessage) return false;
  if (m_core == nullptr) return true;  // closing: nothing more reaches the core
  KelmformCore& core = *m_core;
  switch (message) {
    case WM_KEYDOWN:
      core.OnKeyDown(static_cast<std::uint16_t>(wParam), CurrentShiftState());
      return true;
    case WM_KEYUP:
      core.OnKeyUp(static_cast<std::uint16_t>(wParam), CurrentShiftState());
      return true;
    case WM_CHAR:
      core.OnCharacter(static_cast<char16_t>(wParam), CurrentShiftState(),
                       static_cast<std::uint32_t>(::GetMessageTime()));
      return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
      ::SetFocus(m_window);
      if (message == WM_LBUTTONDOWN) ::SetCapture(m_window);
      core.OnMouseDown(ButtonOf(message, wParam), CurrentShiftState(), RowAt(GET_Y_LPARAM(lParam)));
      return true;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
    case WM_XBUTTONDBLCLK:
      ::SetFocus(m_window);
      if (message == WM_LBUTTONDBLCLK) ::SetCapture(m_window);
      core.OnDoubleClick(ButtonOf(message, wParam), CurrentShiftState(),
                         RowAt(GET_Y_LPARAM(lParam)));
      return true;
    case WM_MOUSEMOVE:
      if ((wParam & MK_LBUTTON) != 0 && ::GetCapture() == m_window)
        core.OnMouseMove(RowAt(GET_Y_LPARAM(lParam)));
      return true;
    default:  // the buttons coming up
      if (message == WM_LBUTTONUP && ::GetCapture() == m_window) ::ReleaseCapture();
      core.OnMouseUp(ButtonOf(message, wParam));
      return true;
  }
}

LRESULT CALLBACK EntryListBox::Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR self) {
  auto* list = reinterpret_cast<EntryListBox*>(self);
  if (list->Forward(message, wParam, lParam)) {
    // The side buttons report that they were handled.
    return message == WM_XBUTTONDOWN || message == WM_XBUTTONUP || message == WM_XBUTTONDBLCLK
               ? TRUE
               : 0;
  }
  return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace viewer::win32
