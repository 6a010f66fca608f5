// A library's entries for the list view: position k holds entry k (position 0 the placeholder or
// the catalogue's heading). The model shares the cache's list, which never changes once shared,
// and makes a row's wide text from Windows-1252 only when the row is drawn, measured or copied.
#pragma once

#include <QAbstractListModel>
#include <QFontMetrics>
#include <QString>
#include <memory>

#include "libraries/tcodelist.h"

namespace viewer {

class EntryModel final : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit EntryModel(QObject* parent = nullptr);

  // Shows the entries of `list` instead; views lose their selection and start at the top.
  void Replace(std::shared_ptr<const core::tcodelist> list);
  // Removes every entry.
  void Clear();

  [[nodiscard]] int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
  [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The text at `row`; the caller keeps `row` within rowCount().
  [[nodiscard]] QString Text(int row) const;

  // The width of the widest entry in `metrics`, remembered until the entries or the font change.
  [[nodiscard]] int WidestTextWidth(const QFontMetrics& metrics) const;

 private:
  std::shared_ptr<const core::tcodelist> m_list;
  mutable QString m_measuredFont;
  mutable int m_widestWidth = -1;
};

}  // namespace viewer
