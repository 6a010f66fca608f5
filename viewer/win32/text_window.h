// A window of its own beside the main window that shows a text to read (such as the list of
// keys): read-only, scrollable, closed by its close box or Esc, which only hide it.
#pragma once

#include <windows.h>

#include <string>

namespace viewer::win32 {

class TextWindow {
 public:
  // Creates the window, hidden, owned by `owner` (it stays above it and goes with it).
  explicit TextWindow(HWND owner);
  TextWindow(const TextWindow&) = delete;
  TextWindow& operator=(const TextWindow&) = delete;

  // Shows `text` (lines separated by '\n') under `title`, brings the window to the front, and sizes
  // it for `dpi` when it was hidden.
  void Show(const std::u16string& title, const std::u16string& text, unsigned dpi);
  // The font of the text (not owned: it must outlive the window or be replaced first).
  void SetFont(HFONT font);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK EditSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR self);

  HWND m_window = nullptr;
  HWND m_edit = nullptr;
};

}  // namespace viewer::win32
