// List-box behaviour on top of QListView: selection and scrolling follow the list box, where Qt's
// item views would act differently (focus making a line current, Ctrl toggling the selection off,
// Enter raising `activated`, editing, copying with Ctrl+C); user input goes to the window core.
#include "viewer/qt/entry_list_view.h"

#include <QFocusEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QScrollBar>
#include <algorithm>
#include <string>

#include "viewer/core/layout.h"
#include "viewer/qt/entry_delegate.h"
#include "viewer/qt/entry_model.h"

namespace viewer {

namespace {

// Scroll bars 16 pixels wide, with 16-pixel buttons, in whatever style the application uses.
class ScrollBarStyle final : public QProxyStyle {
 public:
  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    if (metric == PM_ScrollBarExtent) return kScrollBarExtent;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

}  // namespace

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
  scrollToTop();
  horizontalScrollBar()->setValue(0);
}

void EntryListView::ClearEntries() {
  m_model->Clear();
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

void EntryListView::mousePressEvent(QMouseEvent* event) {
  MouseButton button{};
  if (!MouseButtonFromQt(event->button(), button)) return;
  if (button == MouseButton::kLeft) setFocus(Qt::MouseFocusReason);
  emit mouseDown(button, ShiftStateFromQt(event->modifiers()),
                 LineAt(event->position().toPoint().y()));
}

void EntryListView::mouseMoveEvent(QMouseEvent* event) {
  if (!event->buttons().testFlag(Qt::LeftButton)) return;
  emit mouseMove(LineAt(event->position().toPoint().y()));
}

void EntryListView::mouseReleaseEvent(QMouseEvent* event) {
  MouseButton button{};
  if (MouseButtonFromQt(event->button(), button)) emit mouseUp(button);
}

void EntryListView::mouseDoubleClickEvent(QMouseEvent* event) {
  MouseButton button{};
  if (!MouseButtonFromQt(event->button(), button)) return;
  emit doubleClick(button, ShiftStateFromQt(event->modifiers()),
                   LineAt(event->position().toPoint().y()));
}

void EntryListView::keyPressEvent(QKeyEvent* event) {
  event->accept();
  // Tab leaves the list, as in any window.
  if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) {
    event->ignore();
    return;
  }
  const ShiftState shift = ShiftStateFromQt(event->modifiers());
  const std::uint16_t key = VirtualKeyFromQt(event->key());
  if (key != 0) emit keyDown(key, shift);
  const QString text = event->text();
  if (text.size() == 1) {
    emit character(text.at(0).unicode(), shift, static_cast<std::uint32_t>(event->timestamp()));
  }
}

void EntryListView::keyReleaseEvent(QKeyEvent* event) {
  event->accept();
  if (event->isAutoRepeat()) return;
  const std::uint16_t key = VirtualKeyFromQt(event->key());
  if (key == 0) return;
  emit keyUp(key, ShiftStateFromQt(event->modifiers()));
}

void EntryListView::focusInEvent(QFocusEvent* event) {
  // Qt's item views make the first line current on focus; a list box does not.
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

}  // namespace viewer
