// Plain list-box drawing: a filled highlight behind the selected entry, no icons, no editing.
#include "viewer/qt/entry_delegate.h"

#include <QPainter>
#include <QStyle>
#include <utility>

#include "viewer/qt/entry_model.h"

namespace viewer {

EntryDelegate::EntryDelegate(const EntryModel& model, int rowHeight, QFont selectedFont,
                             QObject* parent)
    : QStyledItemDelegate(parent),
      m_model(model),
      m_rowHeight(rowHeight),
      m_selectedFont(std::move(selectedFont)) {}

void EntryDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
  if (!index.isValid() || index.row() >= m_model.rowCount()) return;
  const bool selected = option.state.testFlag(QStyle::State_Selected);
  const QPalette::ColorGroup group =
      option.state.testFlag(QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
  painter->save();
  if (selected) {
    painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
    painter->setPen(option.palette.color(group, QPalette::HighlightedText));
    painter->setFont(m_selectedFont);
  } else {
    painter->setPen(option.palette.color(group, QPalette::Text));
    painter->setFont(option.font);
  }
  const QRect textRect = option.rect.adjusted(kTextMargin, 0, -kTextMargin, 0);
  painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    m_model.Text(index.row()));
  if (option.state.testFlag(QStyle::State_HasFocus)) {
    QStyleOptionFocusRect focus;
    focus.QStyleOption::operator=(option);
    focus.backgroundColor =
        option.palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
    const QWidget* widget = option.widget;
    QStyle* style = widget != nullptr ? widget->style() : nullptr;
    if (style != nullptr) style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
  }
  painter->restore();
}

QSize EntryDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  // Every row has the same size (the view asks once): the widest text in the list's font.
  const int width = m_model.WidestTextWidth(QFontMetrics(option.font)) + 2 * kTextMargin;
  return {width, m_rowHeight};
}

}  // namespace viewer
