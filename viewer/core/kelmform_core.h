// The main window's behaviour without a toolkit: the window state, FormCreate and the handlers,
// the captions, the list's own movement (arrow and paging keys, type-ahead, mouse selection) and
// the tool tips. A front forwards its events to the On… functions and carries out what the core
// asks of it through the WindowPort; it decides nothing itself.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "libfile/record_manager.h"
#include "libraries/library_cache.h"
#include "startup/startup_sequence.h"
#include "viewer/core/background_search.h"
#include "viewer/core/list_behaviour.h"
#include "viewer/core/virtual_keys.h"
#include "viewer/core/window_port.h"
#include "viewer/core/window_state.h"

namespace viewer {

class KelmformCore {
 public:
  // `recordManager` and `port` must outlive the core. Nothing happens until Create().
  KelmformCore(startup::StartupValues values, libfile::RecordManager& recordManager,
               WindowPort& port);
  ~KelmformCore();
  KelmformCore(const KelmformCore&) = delete;
  KelmformCore& operator=(const KelmformCore&) = delete;

  // Runs FormCreate. The front calls it once, when its controls have their final size (paging and
  // centring read the visible rows), before the window is shown.
  void Create();

  [[nodiscard]] const WindowState& State() const { return m_state; }
  // The list shown (null when none), as the port was last given it.
  [[nodiscard]] const std::shared_ptr<const core::tcodelist>& Shown() const { return m_shown; }
  // The text of row `index` of the list shown, as displayed; throws ListIndexError when there is
  // no such row.
  [[nodiscard]] std::u16string EntryText(int index) const;

  // How many characters at the end of `caption` (a text the label shows) are the directory part,
  // which ElidedCaption may shorten; 0 when it has none.
  [[nodiscard]] std::size_t CaptionDirectoryLength(std::u16string_view caption) const;

  // --- Events from the front ------------------------------------------------------------------
  // Each runs the handlers it stands for; an error that ends a handler goes to the port's
  // ReportError and no further: these never throw.
  //
  // A key went down in the list. The front's control does nothing of its own with a key: every
  // movement of the selection comes from here.
  void OnKeyDown(std::uint16_t key, ShiftState shift);
  // A key came up (the front does not report the auto-repeat's releases).
  void OnKeyUp(std::uint16_t key, ShiftState shift);
  // A character was typed (after its key went down), at `time`, a millisecond clock that may wrap
  // around (Qt's event timestamp, Win32's message time). Control characters, the space and
  // characters typed with Ctrl or Alt are ignored; the others search the list (type-ahead).
  void OnCharacter(char16_t character, ShiftState shift, std::uint32_t time);
  // A mouse button went down over the list. `row` is the row under the pointer: the last row when
  // the pointer is below the rows, -1 when the list is empty. The left button selects that row.
  void OnMouseDown(MouseButton button, ShiftState shift, int row);
  // The pointer moved over the list with the left button held: `row` as for OnMouseDown.
  void OnMouseMove(int row);
  // A mouse button came up.
  void OnMouseUp(MouseButton button);
  // The second press of a double click (instead of OnMouseDown for that press). It acts on the
  // selected row, not on the row under the pointer.
  void OnDoubleClick(MouseButton button, ShiftState shift, int row);
  // The clock ticked: the front calls this about every half second (`time` as for OnCharacter),
  // so that the core can look after the files of the view (a changed file is read again).
  void OnTick(std::uint32_t time);
  // A row of the last ShowChoices was chosen: its entry is shown.
  void OnChoice(int row);
  // The find window's text was entered: searches every library and shows the matches.
  void OnFind(const std::u16string& text);
  // A row of the last ShowFindResults was chosen: its entry is shown, and F3 goes on from it.
  void OnFindChoice(int row);
  // Matches of the search in the background may wait (after WakeForSearchResults, or any time):
  // they go to the find window's list.
  void OnSearchResults();
  // The find window was closed: a search still running stops.
  void OnFindClosed();
  // Whether a search runs in the background (or its last matches wait).
  [[nodiscard]] bool Searching() const { return m_search != nullptr; }
  // Waits until the search in the background has ended and shows what it found (for tests).
  void WaitForSearch();

  // --- The handlers ---------------------------------------------------------------------------
  // Called by the events above; public for tests. Each may throw (reading row -1).
  void FormCreate();
  void ListBox2Click();
  void ListBox1DblClick();
  void ListBox1KeyDown(std::uint16_t& key, ShiftState shift);
  void ListBox1KeyUp(std::uint16_t& key, ShiftState shift);
  void ListBox1MouseDown(MouseButton button, ShiftState shift);

 private:
  template <typename Handler>
  void Guarded(Handler&& handler);

  void Show(std::shared_ptr<const core::tcodelist> list);
  // The keys beyond the list box's: true when `key` was one of them (and is done with).
  bool AddedKey(std::uint16_t key, ShiftState shift);
  // Loads `library` (the catalogue: as the way back does) and shows it with row `entry` selected
  // and centred and the caption as for a click there; with no such row (or `entry` below 1),
  // nothing selected and the caption of an opened library. False, with the reason reported, when
  // the library cannot be read; the view then stays as it was.
  bool ShowLibrary(std::uint8_t library, int entry);
  // F12: follows the reference of the selected entry.
  void FollowReference();
  // Records a change of view: the view left (its library and selected row) and the one now shown
  // become the history's last two steps, and whatever lay ahead is dropped.
  void NoteViewChange(std::uint8_t leftLibrary, int leftEntry);
  // Alt+Left (-1) and Alt+Right (+1): the view one step back or forward in the history.
  void WalkHistory(int step);
  // F5, and a file of the view that changed: reads the shown library again, keeping the selected
  // entry number (the last entry when it is gone). When it cannot be read, the catalogue is shown
  // with that library's line selected (an empty list without a catalogue) and the reason reported.
  void Reload();
  // Notes the files the view was read from (the library's and those its references name) and
  // what they look like now.
  void WatchView();
  // Shift+F12: lists where the selected entry is used.
  void WhereUsed();
  // Shows the entry `place` as a new view (a step in the history); false when unreadable.
  bool ShowPlace(std::uint8_t library, int entry);
  // F3 (+1) and Shift+F3 (-1): the match after or before the last one chosen, around the end.
  void NextMatch(int step);
  // Ctrl+O: a library file chosen in a dialog, and the window started anew on it.
  void OpenFile();
  // Starts the window anew on `values`, as a start with them would: state, caches, history and
  // matches are forgotten, and FormCreate runs.
  void Restart(startup::StartupValues values);
  // Says why an action did nothing: in the label's tool tip and as a notice beside the selection.
  void Explain(const std::u16string& reason);
  void SetCaption(const std::string& head);
  void UpdateToolTips();
  void ReportUnreadable(std::uint8_t library);
  const core::tcodelist* CatalogueList();
  std::optional<std::string> Name(int library);
  void CentreSelection();
  void BackToCatalogue();
  // Selects `row` as a user's choice would.
  void SelectRow(int row);

  startup::Settings m_settings;
  libfile::RecordManager& m_recordManager;
  WindowPort& m_port;
  WindowState m_state;
  std::unique_ptr<core::LibraryCache> m_cache;
  std::shared_ptr<const core::tcodelist> m_shown;
  std::u16string m_problem;  // the line about the library that could not be read; empty when none
  TypeAhead m_typeAhead;
  // The views in the order the user saw them: library and selected row; m_historyAt is the view
  // shown.
  struct View {
    std::uint8_t library = 0;
    int entry = -1;
  };
  std::vector<View> m_history;
  std::size_t m_historyAt = 0;
  // The entries that the rows of the last choice window stand for.
  std::vector<View> m_choices;
  // The matches of the last search, and the one chosen last (-1: none yet).
  std::vector<View> m_matches;
  int m_matchAt = -1;
  // The search running in the background, and its text as typed.
  std::unique_ptr<BackgroundSearch> m_search;
  std::u16string m_searchText;
  // The find window's rows for `matches`, appended to m_matches.
  std::vector<std::u16string> NoteMatches(std::vector<FoundEntry>&& matches);
  // The view's files and what they looked like when it was read; a change that has held still
  // since m_changeSince is read again.
  struct FileState {
    bool exists = false;
    std::uintmax_t size = 0;
    std::int64_t modified = 0;
    friend bool operator==(const FileState&, const FileState&) = default;
  };
  [[nodiscard]] std::vector<FileState> WatchedStates() const;
  std::vector<std::string> m_watched;
  std::vector<FileState> m_readStates;
  std::vector<FileState> m_changedStates;
  bool m_changed = false;
  std::uint32_t m_changeSince = 0;
  bool m_dragging = false;
  int m_selectionAtPress = -1;
  bool m_closed = false;
};

}  // namespace viewer
