// Entry texts for the list view, converted when a row needs them.
#include "viewer/qt/entry_model.h"

#include <QFont>
#include <algorithm>
#include <array>

#include "text/codepage.h"
#include "viewer/core/list_behaviour.h"

namespace viewer {

EntryModel::EntryModel(QObject* parent) : QAbstractListModel(parent) {}

void EntryModel::Replace(std::shared_ptr<const core::tcodelist> list) {
  beginResetModel();
  m_list = std::move(list);
  m_widestWidth = -1;
  endResetModel();
}

void EntryModel::Clear() {
  beginResetModel();
  m_list.reset();
  m_widestWidth = -1;
  endResetModel();
}

int EntryModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || m_list == nullptr ? 0 : static_cast<int>(m_list->Count());
}

QString EntryModel::Text(int row) const {
  const core::EntryText entry = (*m_list)[static_cast<std::size_t>(row)];
  QString text;
  text.reserve(static_cast<qsizetype>(entry.size()));
  for (const std::string_view part : {entry.head, entry.tail}) {
    for (const char byte : part)
      text += QChar(text::Cp1252ToUnicode(static_cast<std::uint8_t>(byte)));
  }
  return text;
}

QVariant EntryModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::DisplayRole) return Text(index.row());
  return {};
}

Qt::ItemFlags EntryModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

int EntryModel::WidestTextWidth(const QFontMetrics& metrics) const {
  // QFontMetrics carries no font; its line spacing, average and maximum widths identify it well
  // enough for a cache that only decides whether to measure again.
  const QString fontKey = QString::number(metrics.height()) + ':' +
                          QString::number(metrics.averageCharWidth()) + ':' +
                          QString::number(metrics.maxWidth());
  if (m_widestWidth >= 0 && fontKey == m_measuredFont) return m_widestWidth;

  // Shaping every text would take the better part of a second for 65,535 entries. Every entry
  // byte is a Windows-1252 character: its advance comes from a table of 256, and only the widest
  // estimate is converted and measured as a whole (kerning changes a width by a pixel or two at
  // most; the larger of both figures is taken).
  std::array<int, 256> advances{};
  for (int byte = 0; byte < 256; ++byte) {
    advances[static_cast<std::size_t>(byte)] =
        metrics.horizontalAdvance(QChar(text::Cp1252ToUnicode(static_cast<std::uint8_t>(byte))));
  }
  const WidestRow estimate = m_list == nullptr ? WidestRow{} : EstimateWidestRow(*m_list, advances);
  const int widestRow = estimate.row;
  const int widestEstimate = estimate.estimate;
  int widest = widestEstimate;
  if (widestRow >= 0) widest = std::max(widest, metrics.horizontalAdvance(Text(widestRow)));
  m_measuredFont = fontKey;
  m_widestWidth = widest;
  return widest;
}

}  // namespace viewer
