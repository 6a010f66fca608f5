// List-box behaviour on top of QListView: selection, scrolling and events follow the list box,
// where Qt's item views would act differently (focus making a line current, Ctrl toggling the
// selection off, Enter raising `activated`, editing, copying with Ctrl+C).
#include "viewer/entry_list_view.h"

#include <QFocusEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QScrollBar>
#include <algorithm>
#include <string>

#include "viewer/entry_delegate.h"
#include "viewer/entry_model.h"

namespace viewer {

namespace {

constexpr int kScrollBarExtent = 16;

// Scroll bars 16 pixels wide, with 16-pixel buttons, in whatever style the application uses.
class ScrollBarStyle final : public QProxyStyle {
 public:
  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    if (metric == PM_ScrollBarExtent) return kScrollBarExtent;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

MouseButton ButtonOf(Qt::MouseButton button) {
  switch (button) {
    case Qt::RightButton:
      return MouseButton::kRight;
    case Qt::MiddleButton:
      return MouseButton::kMiddle;
    case Qt::BackButton:
      return MouseButton::kBack;
    default:
      return MouseButton::kLeft;
  }
}

bool IsReportedButton(Qt::MouseButton button) {
  return button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton ||
         button == Qt::BackButton;
}

}  // namespace

ListIndexError::ListIndexError(int index)
    : std::out_of_range("List index out of bounds (" + std::to_string(index) + ")") {}

EntryListView::EntryListView(int rowHeight, const QFont& selectedFont, QWidget* parent)
    : QListView(parent), m_model(new EntryModel(this)), m_rowHeight(rowHeight) {
  setModel(m_model);
  setItemDelegate(new EntryDelegate(*m_model, rowHeight, selectedFont, this));
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setDragEnabled(false);
  setTabKeyNavigation(false);
  setMovement(QListView::Static);
  setWrapping(false);
  setWordWrap(false);
  setTextElideMode(Qt::ElideNone);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setAutoScroll(false);

  auto* style = new ScrollBarStyle();
  style->setParent(this);
  setStyle(style);
  verticalScrollBar()->setStyle(style);
  horizontalScrollBar()->setStyle(style);
}

void EntryListView::SetEntries(std::shared_ptr<const core::tcodelist> list) {
  m_model->Replace(std::move(list));
  m_dragging = false;
  scrollToTop();
  horizontalScrollBar()->setValue(0);
}

void EntryListView::ClearEntries() {
  m_model->Clear();
  m_dragging = false;
}

int EntryListView::Count() const {
  return m_model->rowCount();
}

QString EntryListView::EntryText(int index) const {
  if (index < 0 || index >= Count()) throw ListIndexError(index);
  return m_model->Text(index);
}

int EntryListView::ItemIndex() const {
  const QModelIndexList rows = selectionModel()->selectedIndexes();
  return rows.isEmpty() ? -1 : rows.front().row();
}

void EntryListView::SetItemIndex(int index) {
  if (index < 0 || index >= Count()) {
    selectionModel()->clearSelection();
    return;
  }
  const QModelIndex item = m_model->index(index);
  selectionModel()->setCurrentIndex(item, QItemSelectionModel::ClearAndSelect);
  scrollTo(item, QAbstractItemView::EnsureVisible);
}

int EntryListView::TopIndex() {
  executeDelayedItemsLayout();
  return verticalScrollBar()->value();
}

void EntryListView::SetTopIndex(int index) {
  executeDelayedItemsLayout();
  verticalScrollBar()->setValue(index);
}

int EntryListView::VisibleLines() const {
  return std::max(1, viewport()->height() / m_rowHeight);
}

int EntryListView::LineAt(int y) {
  if (Count() == 0) return -1;
  const int line = TopIndex() + std::max(0, y) / m_rowHeight;
  return std::min(line, Count() - 1);
}

void EntryListView::SelectLine(int row) {
  const QModelIndex item = m_model->index(row);
  selectionModel()->setCurrentIndex(item, QItemSelectionModel::ClearAndSelect);
  scrollTo(item, QAbstractItemView::EnsureVisible);
}

void EntryListView::mousePressEvent(QMouseEvent* event) {
  const Qt::MouseButton button = event->button();
  if (!IsReportedButton(button)) return;
  // Only the left button chooses a line; right and middle presses leave the selection alone, and
  // modifiers never toggle it off.
  if (button == Qt::LeftButton) {
    setFocus(Qt::MouseFocusReason);
    m_selectionAtPress = ItemIndex();
    const int line = LineAt(event->position().toPoint().y());
    if (line >= 0) {
      SelectLine(line);
      m_dragging = true;
    }
  }
  emit mouseDown(ButtonOf(button), ShiftStateFromQt(event->modifiers()),
                 event->position().toPoint());
  if (button == Qt::LeftButton && m_dragging) {
    m_selectionAtPress = ItemIndex();
    emit click();
  }
}

void EntryListView::mouseMoveEvent(QMouseEvent* event) {
  if (!m_dragging || !event->buttons().testFlag(Qt::LeftButton)) return;
  const int line = LineAt(event->position().toPoint().y());
  if (line >= 0 && line != ItemIndex()) SelectLine(line);
}

void EntryListView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !m_dragging) return;
  m_dragging = false;
  // A selection dragged to another line is reported as a click when the button comes up.
  if (ItemIndex() != m_selectionAtPress) emit click();
}

void EntryListView::mouseDoubleClickEvent(QMouseEvent* event) {
  const Qt::MouseButton button = event->button();
  if (!IsReportedButton(button)) return;
  emit mouseDown(ButtonOf(button), ShiftStateFromQt(event->modifiers()),
                 event->position().toPoint());
  if (button == Qt::LeftButton) emit doubleClick();
}

void EntryListView::keyPressEvent(QKeyEvent* event) {
  event->accept();
  const std::uint16_t virtualKey = VirtualKeyFromQt(event->key());
  if (virtualKey != 0) {
    std::uint16_t key = virtualKey;
    emit keyDown(key, ShiftStateFromQt(event->modifiers()));
    // A consumed key goes no further; Enter and Esc do nothing in the list itself.
    if (key == 0 || Navigate(event->key())) return;
  }
  // Typing a letter finds the next line that starts with it, as in a list box, and the move is
  // reported as a click, as an arrow key's is; no other key (Space, Ctrl+Space, Ctrl+A, F2)
  // changes anything.
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::ShiftModifier;
  if (modifiers == Qt::NoModifier && !event->text().isEmpty() && event->text().at(0).isPrint() &&
      event->text() != QStringLiteral(" ")) {
    const int before = ItemIndex();
    keyboardSearch(event->text());
    if (ItemIndex() != before) emit click();
    return;
  }
  if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) event->ignore();
}

bool EntryListView::Navigate(int qtKey) {
  const int count = Count();
  const int current = ItemIndex();
  const int last = count - 1;
  int target = current;
  bool arrow = false;
  switch (qtKey) {
    case Qt::Key_Up:
    case Qt::Key_Left:
      arrow = true;
      target = current < 0 ? 0 : current - 1;
      break;
    case Qt::Key_Down:
    case Qt::Key_Right:
      arrow = true;
      target = current < 0 ? 0 : current + 1;
      break;
    case Qt::Key_Home:
      target = 0;
      break;
    case Qt::Key_End:
      target = last;
      break;
    case Qt::Key_PageDown: {
      // First to the last whole line of the page, then a page further.
      const int bottom = TopIndex() + VisibleLines() - 1;
      const int from = std::max(current, 0);
      target = from < bottom ? bottom : from + VisibleLines() - 1;
      break;
    }
    case Qt::Key_PageUp: {
      const int top = TopIndex();
      const int from = std::max(current, 0);
      target = from > top ? top : from - (VisibleLines() - 1);
      break;
    }
    default:
      return false;
  }
  if (count > 0) SelectLine(std::clamp(target, 0, last));
  if (arrow) emit click();
  return true;
}

void EntryListView::keyReleaseEvent(QKeyEvent* event) {
  event->accept();
  if (event->isAutoRepeat()) return;
  std::uint16_t key = VirtualKeyFromQt(event->key());
  if (key == 0) return;
  emit keyUp(key, ShiftStateFromQt(event->modifiers()));
}

void EntryListView::focusInEvent(QFocusEvent* event) {
  // Qt's item views make the first line current on focus; a list box does not.
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

}  // namespace viewer
