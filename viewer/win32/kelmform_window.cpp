// The main window's creation, layout, resolution changes and the port's operations.
#include "viewer/win32/kelmform_window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cwchar>
#include <functional>
#include <stdexcept>
#include <utility>

#include "text/codepage.h"
#include "viewer/core/caption.h"
#include "viewer/core/layout.h"
#include "viewer/win32/console.h"
#include "viewer/win32/window_common.h"

namespace viewer::win32 {

namespace {

constexpr wchar_t kClassName[] = L"Kl7Kelmform";
constexpr int kListId = 100;
constexpr UINT_PTR kTickTimer = 1;
constexpr UINT_PTR kNoticeTimer = 2;
// Posted by the search's thread: matches wait for the core.
constexpr UINT kSearchResults = WM_APP + 1;
// How often the core looks after the files of the view; how long a notice stays.
constexpr UINT kTickMs = 500;
constexpr UINT kNoticeMs = 1500;
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
constexpr int kTextMargin = 2;
// The widest tool tip before it breaks lines, at 96 dots per inch.
constexpr int kToolTipWidth = 640;

// Beside the UTF-16 one: the Windows-1252 texts below the window.
using win32::Wide;
std::wstring Wide(std::string_view cp1252) {
  return Wide(text::Cp1252ToUtf16(cp1252));
}

void RegisterClassOnce() {
  static const bool registered =
      RegisterWindowClass(kClassName, {.dialogFace = true, .programIcon = true});
  (void)registered;
}

Rect ToRect(const RECT& rect) {
  return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace

KelmformWindow::KelmformWindow(startup::StartupValues values,
                               libfile::RecordManager& recordManager) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  RegisterClassOnce();
  // Made at the layout's own place first, so that the system tells the resolution of the monitor
  // there; sized for it below.
  m_window =
      ::CreateWindowExW(kExStyle, kClassName, Wide(kWindowCaption).c_str(), kStyle, kWindowLeft,
                        kWindowTop, 1, 1, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (m_window == nullptr) throw std::runtime_error("the window cannot be created");
  ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure));

  m_label = std::make_unique<OutlinedLabel>(m_window, Wide(kInitialLabelCaption));
  m_list = std::make_unique<EntryListBox>(m_window, kListId);
  m_toolTip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_window, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
  for (HWND tool : {m_label->Handle(), m_list->Handle()}) {
    TOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = m_window;
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(m_toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  }
  // Long enough for the key list of a library to stay one line per key.
  ::SendMessageW(m_toolTip, TTM_SETDELAYTIME, TTDT_AUTOPOP, 30000);
  m_notice = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                               WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_window, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
  TOOLINFOW notice{};
  notice.cbSize = sizeof(notice);
  notice.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  notice.hwnd = m_window;
  notice.uId = 1;
  notice.lpszText = const_cast<wchar_t*>(L"");
  ::SendMessageW(m_notice, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&notice));

  // The window's frame at the layout's place and client size for the monitor's resolution,
  // moved and if need be shrunk into that monitor's work area.
  const unsigned dpi = ::GetDpiForWindow(m_window);
  ApplyResolution(dpi);
  RECT frame{0, 0, Scale(kClientWidth, dpi), Scale(kClientHeight, dpi)};
  ::AdjustWindowRectExForDpi(&frame, kStyle, FALSE, kExStyle, dpi);
  const Rect wanted{Scale(kWindowLeft, dpi), Scale(kWindowTop, dpi), frame.right - frame.left,
                    frame.bottom - frame.top};
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  ::GetMonitorInfoW(::MonitorFromWindow(m_window, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const Rect placed = FitFrame(wanted, ToRect(monitor.rcWork));
  ::SetWindowPos(m_window, nullptr, placed.left, placed.top, placed.width, placed.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  ArrangeControls();

  m_core = std::make_unique<KelmformCore>(std::move(values), recordManager, *this);
  m_list->SetCore(m_core.get());
  // A caption too long for the label is drawn with its directory part shortened, as the core
  // decides.
  KelmformCore* core = m_core.get();
  m_label->SetElision(
      [core](const std::wstring& text, const std::function<bool(const std::wstring&)>& fits) {
        const std::u16string caption(text.begin(), text.end());
        const std::u16string drawn = ElidedCaption(
            caption, core->CaptionDirectoryLength(caption), [&](std::u16string_view candidate) {
              return fits(std::wstring(candidate.begin(), candidate.end()));
            });
        return std::wstring(drawn.begin(), drawn.end());
      });
  m_core->Create();
  ::SetTimer(m_window, kTickTimer, kTickMs, nullptr);
}

KelmformWindow::~KelmformWindow() {
  if (m_list) m_list->SetCore(nullptr);
  if (::IsWindow(m_window)) {
    ::SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
    ::DestroyWindow(m_window);
  }
}

void KelmformWindow::Run() {
  if (m_closing) return;  // closed during creation
  ::ShowWindow(m_window, SW_SHOWNORMAL);
  ::UpdateWindow(m_window);
  ::SetForegroundWindow(m_window);
  ::SetFocus(m_list->Handle());
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

LRESULT CALLBACK KelmformWindow::Procedure(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  auto* self = reinterpret_cast<KelmformWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  return self->Handle(message, wParam, lParam);
}

LRESULT KelmformWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      ArrangeControls();
      return 0;
    case WM_PAINT:
      PaintToolBar();
      return 0;
    case WM_SETFOCUS:
      if (m_list) ::SetFocus(m_list->Handle());
      return 0;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->CtlID == kListId && m_list) {
        m_list->DrawRow(*item);
        return TRUE;
      }
      break;
    }
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (item->CtlID == kListId) {
        item->itemHeight = static_cast<UINT>(Scale(kRowHeight, m_dpi));
        return TRUE;
      }
      break;
    }
    case WM_DPICHANGED: {
      // Moved to a monitor of another resolution: everything at the new size, in the place the
      // system suggests.
      ApplyResolution(LOWORD(wParam));
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      ::SetWindowPos(m_window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      ArrangeControls();
      return 0;
    }
    case WM_GETMINMAXINFO: {
      // Room for the tool bar and one row at least.
      auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
      RECT frame{0, 0, Scale(kClientWidth / 4, m_dpi),
                 Scale(kToolBarHeight + 2 * kRowHeight, m_dpi)};
      ::AdjustWindowRectExForDpi(&frame, kStyle, FALSE, kExStyle, m_dpi);
      limits->ptMinTrackSize.x = frame.right - frame.left;
      limits->ptMinTrackSize.y = frame.bottom - frame.top;
      return 0;
    }
    case WM_TIMER:
      if (wParam == kTickTimer && !m_closing && m_core) {
        m_core->OnTick(static_cast<std::uint32_t>(::GetTickCount()));
      } else if (wParam == kNoticeTimer) {
        ::KillTimer(m_window, kNoticeTimer);
        TOOLINFOW notice{};
        notice.cbSize = sizeof(notice);
        notice.hwnd = m_window;
        notice.uId = 1;
        ::SendMessageW(m_notice, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&notice));
      }
      return 0;
    case kSearchResults:
      if (!m_closing && m_core) m_core->OnSearchResults();
      return 0;
    case WM_CLOSE:
      ::KillTimer(m_window, kTickTimer);
      ::KillTimer(m_window, kNoticeTimer);
      m_closing = true;
      if (m_list) m_list->SetCore(nullptr);
      ::DestroyWindow(m_window);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(m_window, message, wParam, lParam);
}

void KelmformWindow::ApplyResolution(unsigned dpi) {
  m_dpi = dpi == 0 ? 96 : dpi;
  m_fonts = CreateWindowFonts(m_dpi);
  m_label->SetFont(m_fonts.label.get());
  m_list->SetFonts(m_fonts.list.get(), m_fonts.selected.get(), Scale(kRowHeight, m_dpi),
                   Scale(kTextMargin, m_dpi));
  ::SendMessageW(m_toolTip, TTM_SETMAXTIPWIDTH, 0, Scale(kToolTipWidth, m_dpi));
  ::SendMessageW(m_notice, TTM_SETMAXTIPWIDTH, 0, Scale(kToolTipWidth, m_dpi));
  if (m_textWindow) m_textWindow->SetFont(m_fonts.list.get());
  if (m_usedWindow) m_usedWindow->SetFont(m_fonts.list.get());
  if (m_findWindow) m_findWindow->SetFont(m_fonts.list.get());
}

void KelmformWindow::ArrangeControls() {
  if (!m_label || !m_list) return;
  RECT client;
  ::GetClientRect(m_window, &client);
  const int width = client.right;
  const int height = client.bottom;
  const int toolBar = Scale(kToolBarHeight, m_dpi);
  ::MoveWindow(m_label->Handle(), Scale(kLabelLeft, m_dpi), Scale(kLabelTop, m_dpi),
               std::max(0, width - Scale(kLabelWidthShortfall, m_dpi) - Scale(kLabelLeft, m_dpi)),
               Scale(kLabelHeight, m_dpi), TRUE);
  ::MoveWindow(m_list->Handle(), 0, toolBar, width, std::max(0, height - toolBar), TRUE);
  RECT strip{0, 0, width, toolBar};
  ::InvalidateRect(m_window, &strip, TRUE);
}

void KelmformWindow::PaintToolBar() {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(m_window, &paint);
  RECT client;
  ::GetClientRect(m_window, &client);
  RECT strip{0, 0, client.right, Scale(kToolBarHeight, m_dpi)};
  ::FillRect(dc, &strip, ::GetSysColorBrush(COLOR_BTNFACE));
  ::DrawEdge(dc, &strip, BDR_RAISEDINNER, BF_RECT);
  ::EndPaint(m_window, &paint);
}

void KelmformWindow::SetToolTip(HWND tool, const std::u16string& text) {
  // The tool tip breaks lines at CR LF.
  std::wstring lines;
  for (char16_t character : text) {
    if (character == u'\n') lines += L'\r';
    lines += static_cast<wchar_t>(character);
  }
  TOOLINFOW info{};
  info.cbSize = sizeof(info);
  info.hwnd = m_window;
  info.uId = reinterpret_cast<UINT_PTR>(tool);
  info.lpszText = lines.data();
  ::SendMessageW(m_toolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

void KelmformWindow::ShowList(std::shared_ptr<const core::tcodelist> list) {
  m_list->Show(std::move(list));
}

int KelmformWindow::ItemIndex() const {
  return m_list->ItemIndex();
}

void KelmformWindow::SetItemIndex(int index) {
  m_list->SetItemIndex(index);
}

int KelmformWindow::TopIndex() const {
  return m_list->TopIndex();
}

void KelmformWindow::SetTopIndex(int index) {
  m_list->SetTopIndex(index);
}

int KelmformWindow::VisibleRows() const {
  return m_list->VisibleRows();
}

void KelmformWindow::SetCaption(const std::u16string& text) {
  m_label->SetText(Wide(text));
}

std::u16string KelmformWindow::Caption() const {
  const std::wstring& text = m_label->Text();
  return {text.begin(), text.end()};
}

void KelmformWindow::SetCaptionToolTip(const std::u16string& text) {
  SetToolTip(m_label->Handle(), text);
}

void KelmformWindow::SetListToolTip(const std::u16string& text) {
  SetToolTip(m_list->Handle(), text);
}

void KelmformWindow::CopyText(const std::u16string& text) {
  // Another program may hold the clipboard for a moment.
  bool open = false;
  for (int attempt = 0; attempt < 10 && !open; ++attempt) {
    open = ::OpenClipboard(m_window) != 0;
    if (!open) ::Sleep(20);
  }
  if (!open) throw std::runtime_error("Die Zwischenablage ist nicht verfügbar.");
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
  bool placed = false;
  if (memory != nullptr) {
    if (auto* target = static_cast<wchar_t*>(::GlobalLock(memory)); target != nullptr) {
      std::copy(text.begin(), text.end(), target);
      target[text.size()] = L'\0';
      ::GlobalUnlock(memory);
      ::EmptyClipboard();
      placed = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    }
    if (!placed) ::GlobalFree(memory);  // the clipboard owns it once placed
  }
  ::CloseClipboard();
  if (!placed) throw std::runtime_error("Die Zwischenablage ist nicht verfügbar.");
}

void KelmformWindow::Close() {
  // Closed once the event that asked for it has returned; nothing reaches the core after it.
  m_closing = true;
  m_list->SetCore(nullptr);
  ::PostMessageW(m_window, WM_CLOSE, 0, 0);
}

void KelmformWindow::ReportError(const std::u16string& message) {
  ::MessageBoxW(m_window, Wide(message).c_str(), L"kl7view", MB_OK | MB_ICONERROR);
}

void KelmformWindow::ShowNotice(const std::u16string& text, int row) {
  // Below the row when it is in view, otherwise below the list's first row; a little indented.
  const int rowHeight = Scale(kRowHeight, m_dpi);
  RECT place{0, 0, 0, rowHeight};
  const int top = m_list->TopIndex();
  if (row >= top && row < top + m_list->VisibleRows() && row < m_list->Count()) {
    ::SendMessageW(m_list->Handle(), LB_GETITEMRECT, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(&place));
  }
  POINT at{place.left + 2 * rowHeight, place.bottom + 1};
  ::ClientToScreen(m_list->Handle(), &at);
  std::wstring lines;
  for (char16_t character : text) {
    if (character == u'\n') lines += L'\r';
    lines += static_cast<wchar_t>(character);
  }
  TOOLINFOW notice{};
  notice.cbSize = sizeof(notice);
  notice.hwnd = m_window;
  notice.uId = 1;
  notice.lpszText = lines.data();
  ::SendMessageW(m_notice, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&notice));
  ::SendMessageW(m_notice, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
  ::SendMessageW(m_notice, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&notice));
  ::SetTimer(m_window, kNoticeTimer, kNoticeMs, nullptr);
}

void KelmformWindow::ShowTextWindow(const std::u16string& title, const std::u16string& text) {
  if (!m_textWindow) {
    m_textWindow = std::make_unique<TextWindow>(m_window);
    m_textWindow->SetFont(m_fonts.list.get());
  }
  m_textWindow->Show(title, text, m_dpi);
}

void KelmformWindow::ShowChoices(const std::u16string& title,
                                 const std::vector<std::u16string>& rows,
                                 const std::u16string& emptyText) {
  if (!m_usedWindow) {
    m_usedWindow = std::make_unique<ChoiceWindow>(m_window, false, [this](int row) {
      // Back in the main window, which shows the chosen entry.
      ::SetForegroundWindow(m_window);
      ::SetFocus(m_list->Handle());
      if (!m_closing) m_core->OnChoice(row);
    });
    m_usedWindow->SetFont(m_fonts.list.get());
  }
  m_usedWindow->Open(title, m_dpi);
  m_usedWindow->ShowRows(rows, emptyText);
}

void KelmformWindow::ShowFindWindow() {
  if (!m_findWindow) {
    m_findWindow = std::make_unique<ChoiceWindow>(
        m_window, true,
        [this](int row) {
          ::SetForegroundWindow(m_window);
          ::SetFocus(m_list->Handle());
          if (!m_closing) m_core->OnFindChoice(row);
        },
        [this](const std::u16string& text) {
          if (!m_closing) m_core->OnFind(text);
        });
    m_findWindow->SetClosed([this] {
      if (!m_closing) m_core->OnFindClosed();
    });
    m_findWindow->SetFont(m_fonts.list.get());
  }
  m_findWindow->Open(u"Suchen", m_dpi);
}

void KelmformWindow::ShowFindResults(const std::vector<std::u16string>& rows,
                                     const std::u16string& emptyText) {
  if (m_findWindow) m_findWindow->ShowRows(rows, emptyText);
}

void KelmformWindow::AppendFindResults(const std::vector<std::u16string>& rows) {
  if (m_findWindow) m_findWindow->AppendRows(rows);
}

void KelmformWindow::WakeForSearchResults() {
  // On the search's thread: the core is called on the window's. The core ends the search before
  // the window goes; a message posted to a window that is gone is dropped.
  ::PostMessageW(m_window, kSearchResults, 0, 0);
}

std::string KelmformWindow::ChooseFile(const std::u16string& title,
                                       const std::u16string& filterName, const std::string& pattern,
                                       const std::string& directory) {
  // The system's own dialog; its filter ignores letter case. It only picks a file: nothing is
  // written, and the process's current directory stays as it was.
  const std::wstring caption = Wide(title);
  std::wstring filter = Wide(filterName);
  filter += L'\0';
  filter += Wide(ShownPath(pattern));
  filter += L'\0';  // the second terminator is the string's own
  const std::u16string start = ShownPath(directory);
  const std::wstring initial(start.begin(), start.end());
  // Room for the long paths the rest of the program reads.
  std::wstring path(32768, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = m_window;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrInitialDir = initial.empty() ? nullptr : initial.c_str();
  dialog.lpstrTitle = caption.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  const bool chosen = ::GetOpenFileNameW(&dialog) != 0;
  ::SetFocus(m_list->Handle());
  if (!chosen) return {};
  path.resize(std::wcslen(path.c_str()));
  return Utf8FromShown(std::u16string(path.begin(), path.end()));
}

void KelmformWindow::ReportUnreadableLibrary(const std::string& line) {
  WriteStandard(Stream::kErr, line + "\n");
}

}  // namespace viewer::win32
