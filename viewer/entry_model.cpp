// Entry texts for the list view, converted once when a list is copied in.
#include "viewer/entry_model.h"

#include <QFont>
#include <algorithm>
#include <numeric>

#include "text/codepage.h"

namespace viewer {

EntryModel::EntryModel(QObject* parent) : QAbstractListModel(parent) {}

void EntryModel::Replace(const core::tcodelist& list) {
  beginResetModel();
  m_texts.clear();
  m_texts.reserve(list.Count());
  for (const std::string& entry : list.Items()) {
    m_texts.push_back(QString::fromStdU16String(text::Cp1252ToUtf16(entry)));
  }
  m_rowsByLength.clear();
  m_widestWidth = -1;
  endResetModel();
}

void EntryModel::Clear() {
  beginResetModel();
  m_texts.clear();
  m_rowsByLength.clear();
  m_widestWidth = -1;
  endResetModel();
}

int EntryModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_texts.size());
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

  if (m_rowsByLength.size() != m_texts.size()) {
    m_rowsByLength.resize(m_texts.size());
    std::iota(m_rowsByLength.begin(), m_rowsByLength.end(), 0);
    std::stable_sort(m_rowsByLength.begin(), m_rowsByLength.end(),
                     [this](int a, int b) { return Text(a).size() > Text(b).size(); });
  }
  // No character is wider than maxWidth(), so once a text's length times that bound falls below
  // the widest width found, no shorter text can be wider.
  const int bound = std::max(1, metrics.maxWidth());
  int widest = 0;
  for (const int row : m_rowsByLength) {
    const QString& entry = Text(row);
    if (static_cast<long long>(entry.size()) * bound <= widest) break;
    widest = std::max(widest, metrics.horizontalAdvance(entry));
  }
  m_measuredFont = fontKey;
  m_widestWidth = widest;
  return widest;
}

}  // namespace viewer
