// The list of entries: a system list box that keeps nothing per row (LBS_NODATA, owner-drawn with
// fixed row heights). It draws the rows of the list it was given and hands every key, character
// and mouse button to the window core, which moves the selection through this class.
#pragma once

#include <windows.h>

#include <memory>

#include "libraries/tcodelist.h"

namespace viewer {
class KelmformCore;
}

namespace viewer::win32 {

class EntryListBox {
 public:
  // Creates the list box as a child of `parent`, with the control identifier `id`.
  EntryListBox(HWND parent, int id);
  ~EntryListBox();
  EntryListBox(const EntryListBox&) = delete;
  EntryListBox& operator=(const EntryListBox&) = delete;

  [[nodiscard]] HWND Handle() const { return m_window; }
  // Where the list's events go; null drops them (the window is closing).
  void SetCore(KelmformCore* core) { m_core = core; }

  // The fonts (not owned: they must outlive the list or be replaced first) and the row height in
  // pixels; the list measures and repaints its rows again.
  void SetFonts(HFONT rowFont, HFONT selectedFont, int rowHeight, int textMargin);

  // Shows `list` (null: no rows) with nothing selected, the first row at the top and the list
  // scrolled fully left.
  void Show(std::shared_ptr<const core::tcodelist> list);
  [[nodiscard]] int Count() const;
  [[nodiscard]] int ItemIndex() const;
  void SetItemIndex(int index);
  [[nodiscard]] int TopIndex() const;
  void SetTopIndex(int index);
  [[nodiscard]] int VisibleRows() const;

  // Draws one row, for the parent's WM_DRAWITEM.
  void DrawRow(const DRAWITEMSTRUCT& item) const;

 private:
  static LRESULT CALLBACK Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR self);
  // Handles a message for the core; false leaves it to the list box itself.
  bool Forward(UINT message, WPARAM wParam, LPARAM lParam);
  // The row under the vertical position `y`: the last row below the rows, -1 when empty.
  [[nodiscard]] int RowAt(int y) const;
  // The widest row's width, for the horizontal scroll bar.
  void UpdateHorizontalExtent();

  HWND m_window = nullptr;
  KelmformCore* m_core = nullptr;
  std::shared_ptr<const core::tcodelist> m_list;
  HFONT m_rowFont = nullptr;
  HFONT m_selectedFont = nullptr;
  int m_rowHeight = 16;
  int m_textMargin = 2;
};

}  // namespace viewer::win32
