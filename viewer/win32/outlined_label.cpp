// Outlined text through a GDI path: the text's outline is filled and stroked, so it reads on any
// background and looks the same at every resolution.
#include "viewer/win32/outlined_label.h"

#include <utility>

#include "viewer/win32/window_common.h"

namespace viewer::win32 {

namespace {

constexpr wchar_t kClassName[] = L"Kl7OutlinedLabel";

void RegisterClassOnce() {
  static const bool registered = RegisterWindowClass(kClassName, {.dialogFace = false});
  (void)registered;
}

}  // namespace

OutlinedLabel::OutlinedLabel(HWND parent, const std::wstring& text) : m_text(text) {
  RegisterClassOnce();
  m_window = ::CreateWindowExW(0, kClassName, m_text.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                               parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure));
}

void OutlinedLabel::SetText(std::wstring text) {
  m_text = std::move(text);
  // Also the window's own text, which accessibility tools read.
  ::SetWindowTextW(m_window, m_text.c_str());
  ::InvalidateRect(m_window, nullptr, TRUE);
}

void OutlinedLabel::SetFont(HFONT font) {
  m_font = font;
  ::InvalidateRect(m_window, nullptr, TRUE);
}

void OutlinedLabel::SetElision(Elision elision) {
  m_elision = std::move(elision);
  ::InvalidateRect(m_window, nullptr, TRUE);
}

std::wstring OutlinedLabel::DrawnText(HDC dc, int width) const {
  if (!m_elision) return m_text;
  // The text starts one pixel in, and its outline reaches a pixel beyond the glyphs.
  const int room = width - 2;
  return m_elision(m_text, [&](const std::wstring& candidate) {
    SIZE size{};
    ::GetTextExtentPoint32W(dc, candidate.c_str(), static_cast<int>(candidate.size()), &size);
    return size.cx <= room;
  });
}

LRESULT CALLBACK OutlinedLabel::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* label = reinterpret_cast<OutlinedLabel*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (label != nullptr) {
    switch (message) {
      case WM_PAINT:
        label->Paint();
        return 0;
      case WM_ERASEBKGND:
        return 1;  // painted whole in WM_PAINT
      case WM_SIZE:
        ::InvalidateRect(window, nullptr, TRUE);  // another width may elide otherwise
        break;
      case WM_NCHITTEST:
        return HTCLIENT;  // so that the tool tip sees the pointer
      default:
        break;
    }
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void OutlinedLabel::Paint() {
  PAINTSTRUCT paint;
  HDC screen = ::BeginPaint(m_window, &paint);
  RECT area;
  ::GetClientRect(m_window, &area);
  // Drawn off screen first, so that a new caption does not flicker.
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, area.right, area.bottom);
  HGDIOBJ oldBitmap = ::SelectObject(dc, bitmap);
  ::FillRect(dc, &area, ::GetSysColorBrush(COLOR_BTNFACE));
  if (m_font != nullptr && !m_text.empty()) {
    HGDIOBJ oldFont = ::SelectObject(dc, m_font);
    TEXTMETRICW metrics;
    ::GetTextMetricsW(dc, &metrics);
    const int top = (area.bottom - metrics.tmHeight) / 2;
    ::SetBkMode(dc, TRANSPARENT);
    const std::wstring drawn = DrawnText(dc, area.right);
    ::BeginPath(dc);
    ::TextOutW(dc, 1, top, drawn.c_str(), static_cast<int>(drawn.size()));
    ::EndPath(dc);
    HGDIOBJ oldBrush = ::SelectObject(dc, ::GetSysColorBrush(COLOR_WINDOW));
    HPEN pen = ::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_WINDOWTEXT));
    HGDIOBJ oldPen = ::SelectObject(dc, pen);
    ::StrokeAndFillPath(dc);
    ::SelectObject(dc, oldPen);
    ::DeleteObject(pen);
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldFont);
  }
  ::BitBlt(screen, 0, 0, area.right, area.bottom, dc, 0, 0, SRCCOPY);
  ::SelectObject(dc, oldBitmap);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  ::EndPaint(m_window, &paint);
}

}  // namespace viewer::win32
