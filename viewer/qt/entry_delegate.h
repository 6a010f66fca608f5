// Draws one entry of the list: a row of fixed height, the selected entry in its own smaller font
// and the highlight-text colour, and a row width that covers the widest entry so that the
// horizontal scroll bar reaches the end of every text.
#pragma once

#include <QFont>
#include <QStyledItemDelegate>

namespace viewer {

class EntryModel;

class EntryDelegate final : public QStyledItemDelegate {
  Q_OBJECT

 public:
  // `model` must outlive the delegate.
  EntryDelegate(const EntryModel& model, int rowHeight, QFont selectedFont,
                QObject* parent = nullptr);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option,
                               const QModelIndex& index) const override;

  // The space left of and right of each text.
  static constexpr int kTextMargin = 2;

 private:
  const EntryModel& m_model;
  int m_rowHeight;
  QFont m_selectedFont;
};

}  // namespace viewer
