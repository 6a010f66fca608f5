// The caption line: a child window that draws its text outlined, the glyphs filled with the window
// colour and edged in the window-text colour, on the tool bar's face.
#pragma once

#include <windows.h>

#include <string>

namespace viewer::win32 {

class OutlinedLabel {
 public:
  // Creates the label as a child of `parent`. Its text is set and read through SetText and Text,
  // its font through SetFont (not owned; it must outlive the label or be replaced first).
  OutlinedLabel(HWND parent, const std::wstring& text);
  OutlinedLabel(const OutlinedLabel&) = delete;
  OutlinedLabel& operator=(const OutlinedLabel&) = delete;

  [[nodiscard]] HWND Handle() const { return m_window; }
  void SetText(std::wstring text);
  [[nodiscard]] const std::wstring& Text() const { return m_text; }
  void SetFont(HFONT font);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Paint();

  HWND m_window = nullptr;
  HFONT m_font = nullptr;
  std::wstring m_text;
};

}  // namespace viewer::win32
