// The list of entries, made to behave like a list box: an item index (the selected entry, -1 when
// none), a top index (the first visible line, scrolling by whole lines), and click, double-click,
// key and mouse-button events that user input raises and the program's own changes never do.
#pragma once

#include <QListView>
#include <QPoint>
#include <cstdint>
#include <stdexcept>

#include "libraries/tcodelist.h"
#include "viewer/virtual_keys.h"

namespace viewer {

class EntryModel;

// Reading an entry that does not exist, as a list box reports it.
class ListIndexError : public std::out_of_range {
 public:
  explicit ListIndexError(int index);
};

class EntryListView final : public QListView {
  Q_OBJECT

 public:
  EntryListView(int rowHeight, const QFont& selectedFont, QWidget* parent = nullptr);

  // Replaces every entry by a copy of `list`; afterwards nothing is selected and the first entry
  // is at the top.
  void SetEntries(std::shared_ptr<const core::tcodelist> list);
  void ClearEntries();

  [[nodiscard]] int Count() const;
  // The text of entry `index`; throws ListIndexError when there is no such entry.
  [[nodiscard]] QString EntryText(int index) const;

  // The selected entry, -1 when none.
  [[nodiscard]] int ItemIndex() const;
  // Selects entry `index` and scrolls it into view; an index outside the entries selects nothing.
  void SetItemIndex(int index);

  // The first visible line.
  [[nodiscard]] int TopIndex();
  void SetTopIndex(int index);

  // How many lines fit wholly into the visible area (at least 1).
  [[nodiscard]] int VisibleLines() const;

  [[nodiscard]] const EntryModel& Model() const { return *m_model; }

 signals:
  // A user's click on the list, and each press of an arrow key.
  void click();
  // A double click of the left button; it acts on the item index, not on the point clicked.
  void doubleClick();
  // A key went down: `key` is its virtual-key code, which a handler may set to 0 to consume it.
  void keyDown(std::uint16_t& key, viewer::ShiftState shift);
  void keyUp(std::uint16_t& key, viewer::ShiftState shift);
  // A mouse button went down (a double click's second press included).
  void mouseDown(viewer::MouseButton button, viewer::ShiftState shift, QPoint position);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  // The line under the vertical position `y` of the viewport, the last line below the entries;
  // -1 when the list is empty.
  [[nodiscard]] int LineAt(int y);
  // Selects `row` (which must exist) as a user's choice would, and scrolls it into view.
  void SelectLine(int row);
  // Moves the selection for a navigation key; returns false for any other key.
  bool Navigate(int qtKey);

  EntryModel* m_model;
  int m_rowHeight;
  bool m_dragging = false;
  int m_selectionAtPress = -1;
};

}  // namespace viewer
