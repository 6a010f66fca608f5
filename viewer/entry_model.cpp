// Entry texts for the list view, converted once when a list is copied in.
#include "viewer/entry_model.h"

#include <QFont>
#include <algorithm>
#include <array>
#include <unordered_map>

#include "text/codepage.h"

namespace viewer {

EntryModel::EntryModel(QObject* parent) : QAbstractListModel(parent) {}

void EntryModel::Replace(const core::tcodelist& list) {
  beginResetModel();
  m_texts.clear();
  m_texts.reserve(list.Count());
  for (const core::EntryText& entry : list) {
    m_texts.push_back(QString::fromStdU16String(text::Cp1252ToUtf16(entry.String())));
  }
  m_widestWidth = -1;
  endResetModel();
}

void EntryModel::Clear() {
  beginResetModel();
  m_texts.clear();
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

  // Shaping every text would take the better part of a second for 65,535 entries. The texts hold
  // Windows-1252 characters only, so each text's width is estimated as the sum of its characters'
  // advances, and only the widest estimate is measured as a whole (kerning changes a width by a
  // pixel or two at most; the larger of both figures is taken).
  std::array<int, 256> latin1{};
  for (int code = 0; code < 256; ++code) {
    latin1[static_cast<std::size_t>(code)] = metrics.horizontalAdvance(QChar(code));
  }
  std::unordered_map<char16_t, int> others;
  const auto advance = [&](QChar character) {
    const char16_t code = character.unicode();
    if (code < 256) return latin1[code];
    auto found = others.find(code);
    if (found == others.end()) {
      found = others.emplace(code, metrics.horizontalAdvance(character)).first;
    }
    return found->second;
  };
  int widestEstimate = 0;
  const QString* widestText = nullptr;
  for (const QString& entry : m_texts) {
    int estimate = 0;
    for (const QChar character : entry)
      estimate += advance(character);
    if (widestText == nullptr || estimate > widestEstimate) {
      widestEstimate = estimate;
      widestText = &entry;
    }
  }
  int widest = widestEstimate;
  if (widestText != nullptr) widest = std::max(widest, metrics.horizontalAdvance(*widestText));
  m_measuredFont = fontKey;
  m_widestWidth = widest;
  return widest;
}

}  // namespace viewer
