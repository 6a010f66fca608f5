// The port through which the window core drives a front: what the window needs of its list, its
// label, the clipboard and the window itself. A front (Qt, Win32, or a test's fake) implements it;
// it carries out what it is told and decides nothing.
//
// Texts that the user sees are UTF-16. Entry texts stay Windows-1252 bytes in the list the front is
// given; the front converts a row with text::Cp1252ToUnicode when it draws or measures it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "libraries/tcodelist.h"

namespace viewer {

class WindowPort {
 public:
  virtual ~WindowPort() = default;

  // --- The list ---------------------------------------------------------------------------------
  // Shows the entries of `list` instead of the present ones; null shows an empty list. The list
  // never changes once shown (the cache copies before it changes a list), so a front keeps the
  // pointer and reads rows from it, keeping nothing per row. Afterwards no row is selected, the
  // first row is at the top and the list is scrolled fully left.
  virtual void ShowList(std::shared_ptr<const core::tcodelist> list) = 0;
  // The selected row; -1 when none.
  [[nodiscard]] virtual int ItemIndex() const = 0;
  // Selects row `index` and scrolls it into view (the least scrolling that shows it wholly); an
  // index outside the rows selects nothing and leaves the scrolling alone.
  virtual void SetItemIndex(int index) = 0;
  // The first visible row (0 for an empty list).
  [[nodiscard]] virtual int TopIndex() const = 0;
  // Scrolls row `index` to the top as far as the list allows: never beyond the last full page,
  // never above row 0.
  virtual void SetTopIndex(int index) = 0;
  // How many rows fit wholly into the visible area; at least 1.
  [[nodiscard]] virtual int VisibleRows() const = 0;

  // --- The label --------------------------------------------------------------------------------
  // Sets the caption line; Caption() gives back exactly that text.
  virtual void SetCaption(const std::u16string& text) = 0;
  [[nodiscard]] virtual std::u16string Caption() const = 0;

  // --- Tool tips --------------------------------------------------------------------------------
  // The label's tool tip and the list's; lines are separated by '\n'.
  virtual void SetCaptionToolTip(const std::u16string& text) = 0;
  virtual void SetListToolTip(const std::u16string& text) = 0;

  // --- The clipboard ----------------------------------------------------------------------------
  // Places `text` on the clipboard as plain (Unicode) text.
  virtual void CopyText(const std::u16string& text) = 0;

  // --- The window -------------------------------------------------------------------------------
  // Closes the window, which ends the message loop and the program. The core makes no further
  // call on the port after this one within the same event.
  virtual void Close() = 0;
  // The general error report: an error ended a handler; `message` says what (a message box in the
  // program). The window carries on.
  virtual void ReportError(const std::u16string& message) = 0;
  // A library file could not be read. `line` (UTF-8, no line break) names it with the status and
  // its meaning; the front writes it where a user who started the program from a console sees it
  // (stderr). The core shows the same line in the label's tool tip itself.
  virtual void ReportUnreadableLibrary(const std::string& line) = 0;

  // --- Notices and added windows (a front may leave them out: they then do nothing) -------------
  // A short-lived notice (such as "kopiert") beside row `row` of the list, or near the list's top
  // when the row is not visible; it takes no focus, changes nothing else and goes by itself.
  virtual void ShowNotice(const std::u16string& text, int row) {
    (void)text;
    (void)row;
  }
  // Opens a window of its own titled `title` that shows `text` (lines separated by '\n'), such as
  // the list of keys; it does not block the main window. A second call replaces what it shows.
  virtual void ShowTextWindow(const std::u16string& title, const std::u16string& text) {
    (void)title;
    (void)text;
  }
  // Opens a window of its own titled `title` that takes the keyboard focus and lists `rows` with
  // the first selected; `rows` empty: it shows `emptyText` instead. When the user chooses a row
  // (Enter or a double click), the front closes that window, gives the focus back to the main
  // window and calls KelmformCore::OnChoice with the row's index. Closing it otherwise chooses
  // nothing. (Where an entry is used.)
  virtual void ShowChoices(const std::u16string& title, const std::vector<std::u16string>& rows,
                           const std::u16string& emptyText) {
    (void)title;
    (void)rows;
    (void)emptyText;
  }
  // Opens the find window ("Suchen"), which takes the focus, with a text field and a list below
  // it; Enter in the field calls KelmformCore::OnFind with the field's text. A choice in its list
  // is handled as for ShowChoices, but reported to KelmformCore::OnFindChoice. When the window is
  // closed, the front calls KelmformCore::OnFindClosed.
  virtual void ShowFindWindow() {}
  // Shows the matches of the last OnFind in the find window's list, the first selected and the
  // focus on the list; `rows` empty: `emptyText` instead, and the focus stays in the field. A
  // front that searches in the background is given an empty list here when a search starts (with
  // `emptyText` saying so), the matches through AppendFindResults, and the empty list again when
  // the search found nothing.
  virtual void ShowFindResults(const std::vector<std::u16string>& rows,
                               const std::u16string& emptyText) {
    (void)rows;
    (void)emptyText;
  }
  // A modal dialog titled `title` in which the user picks an existing file, starting in the
  // directory `directory` (UTF-8), listing the files whose names match `pattern` (such as
  // "KL7??.DAT", in any letter case) under the name `filterName`. The chosen file's path (UTF-8);
  // empty when the user chose none.
  [[nodiscard]] virtual std::string ChooseFile(const std::u16string& title,
                                               const std::u16string& filterName,
                                               const std::string& pattern,
                                               const std::string& directory) {
    (void)title;
    (void)filterName;
    (void)pattern;
    (void)directory;
    return {};
  }
  // --- A search in the background (a front may leave it out: it then gets a search's matches
  // all at once through ShowFindResults, searched on the window's thread) ---------------------
  // True when the front implements the two operations below.
  [[nodiscard]] virtual bool SearchesInBackground() const { return false; }
  // Called on the search's thread, not the window's: matches wait. The front has the window's
  // thread call KelmformCore::OnSearchResults soon (a queued call); it may call it more often.
  virtual void WakeForSearchResults() {}
  // Adds `rows` to the find window's list below those shown; the search's first row is selected
  // when it comes, and the focus goes to the list then.
  virtual void AppendFindResults(const std::vector<std::u16string>& rows) { (void)rows; }
};

}  // namespace viewer
