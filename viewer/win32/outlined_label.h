// The caption line: a child window that draws its text outlined, the glyphs filled with the window
// colour and edged in the window-text colour, on the tool bar's face.
#pragma once

#include <windows.h>

#include <functional>
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
  // How a text too long for the label is drawn: `elision` is given the text and a test whether a
  // candidate fits the label's width, and returns what to draw. Without one the text is drawn
  // whole (and cut off at the label's edge).
  using Elision = std::function<std::wstring(const std::wstring& text,
                                             const std::function<bool(const std::wstring&)>& fits)>;
  void SetElision(Elision elision);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Paint();
  // The text as drawn with the font selected into `dc`, within `width` pixels.
  [[nodiscard]] std::wstring DrawnText(HDC dc, int width) const;

  HWND m_window = nullptr;
  HFONT m_font = nullptr;
  std::wstring m_text;
  Elision m_elision;
};

}  // namespace viewer::win32
