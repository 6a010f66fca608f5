// The list of entries, made to behave like a list box: an item index (the selected entry, -1 when
// none), a top index (the first visible line, scrolling by whole lines), and the user's keys,
// characters and mouse buttons passed on as signals for the window core, which decides what they
// do; the list moves its selection only when told to.
#pragma once

#include <QListView>
#include <cstdint>

#include "libraries/tcodelist.h"
#include "viewer/core/list_behaviour.h"
#include "viewer/qt/qt_keys.h"

namespace viewer {

class EntryModel;

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
  // A key went down or came up (auto-repeated releases are not reported), with its virtual-key
  // code; keys the window never looks at are not reported.
  void keyDown(std::uint16_t key, viewer::ShiftState shift);
  void keyUp(std::uint16_t key, viewer::ShiftState shift);
  // A character was typed; `time` is the key event's timestamp in milliseconds.
  void character(char16_t character, viewer::ShiftState shift, std::uint32_t time);
  // A mouse button went down over line `row` (the last line below the entries, -1 when the list is
  // empty); the second press of a double click comes as doubleClick instead.
  void mouseDown(viewer::MouseButton button, viewer::ShiftState shift, int row);
  void doubleClick(viewer::MouseButton button, viewer::ShiftState shift, int row);
  // The pointer moved to line `row` with the left button held.
  void mouseMove(int row);
  void mouseUp(viewer::MouseButton button);

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

  EntryModel* m_model;
  int m_rowHeight;
};

}  // namespace viewer
