// A window of its own that lists rows to choose from (where an entry is used, the matches of a
// search), with a search field above the list when asked for one. Enter or a double click on a
// row chooses it, Esc or the close box hides the window; it takes the keyboard focus when shown.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace viewer::win32 {

class ChoiceWindow {
 public:
  // Creates the window, hidden, owned by `owner`. `chosen` receives the index of a chosen row
  // (after the window has hidden itself); `searched` the field's text when Enter is pressed in it.
  ChoiceWindow(HWND owner, bool withField, std::function<void(int)> chosen,
               std::function<void(const std::u16string&)> searched = {});
  ChoiceWindow(const ChoiceWindow&) = delete;
  ChoiceWindow& operator=(const ChoiceWindow&) = delete;

  // Shows the window titled `title`, in front, sized for `dpi` when it was hidden, with the focus
  // in the field (or on the list).
  void Open(const std::u16string& title, unsigned dpi);
  // Lists `rows` with the first selected and the focus on the list; with no rows, shows
  // `emptyText` instead (the focus stays in the field, if there is one).
  void ShowRows(const std::vector<std::u16string>& rows, const std::u16string& emptyText);
  // Adds `rows` below those listed; the first row of an empty list is selected as it comes, and
  // the focus goes to the list then.
  void AppendRows(const std::vector<std::u16string>& rows);
  // `closed` is called whenever the window hides (by the user or after a choice, before the
  // choice is reported).
  void SetClosed(std::function<void()> closed) { m_closed = std::move(closed); }
  // The font of the field, the list and the text (not owned: it must outlive the window or be
  // replaced first).
  void SetFont(HFONT font);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR id, DWORD_PTR self);
  void Arrange();
  void Choose();
  void Hide();
  // Adds `rows` to the list and widens its scrolling extent for them.
  void AddRows(const std::vector<std::u16string>& rows);

  HWND m_window = nullptr;
  HWND m_field = nullptr;  // null without a field
  HWND m_list = nullptr;
  HWND m_empty = nullptr;  // the text shown instead of an empty list
  std::function<void(int)> m_chosen;
  std::function<void(const std::u16string&)> m_searched;
  std::function<void()> m_closed;
  int m_widest = 0;  // the widest row's width in pixels
  unsigned m_dpi = 96;
};

}  // namespace viewer::win32
