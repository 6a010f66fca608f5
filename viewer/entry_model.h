// The list's own copy of a library's entries, as wide text: position k holds entry k (position 0
// the placeholder or the catalogue's heading), converted from Windows-1252.
#pragma once

#include <QAbstractListModel>
#include <QFontMetrics>
#include <QString>
#include <vector>

#include "libraries/tcodelist.h"

namespace viewer {

class EntryModel final : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit EntryModel(QObject* parent = nullptr);

  // Replaces every entry by the texts of `list`; views lose their selection and start at the top.
  void Replace(const core::tcodelist& list);
  // Removes every entry.
  void Clear();

  [[nodiscard]] int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
  [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The text at `row`; the caller keeps `row` within rowCount().
  [[nodiscard]] const QString& Text(int row) const {
    return m_texts[static_cast<std::size_t>(row)];
  }

  // The width of the widest entry in `metrics`, remembered until the entries or the font change.
  [[nodiscard]] int WidestTextWidth(const QFontMetrics& metrics) const;

 private:
  std::vector<QString> m_texts;
  mutable QString m_measuredFont;
  mutable int m_widestWidth = -1;
};

}  // namespace viewer
