// The list's movement by keys and typed prefixes, and the widest-row estimate.
#include "viewer/core/list_behaviour.h"

#include <algorithm>

#include "text/codepage.h"
#include "viewer/core/virtual_keys.h"

namespace viewer {

namespace {

// Whether the shown text of `entry` starts with `folded`, a folded prefix.
bool StartsWithFolded(const core::EntryText& entry, std::u16string_view folded) {
  if (entry.size() < folded.size()) return false;
  std::size_t at = 0;
  for (const std::string_view part : {entry.head, entry.tail}) {
    for (const char byte : part) {
      if (at == folded.size()) return true;
      if (FoldCase(text::Cp1252ToUnicode(static_cast<std::uint8_t>(byte))) != folded[at]) {
        return false;
      }
      ++at;
    }
  }
  return at == folded.size();
}

}  // namespace

ListIndexError::ListIndexError(int index)
    : std::out_of_range("List index out of bounds (" + std::to_string(index) + ")") {}

bool IsArrowKey(std::uint16_t key) {
  return key == kVkLeft || key == kVkUp || key == kVkRight || key == kVkDown;
}

std::optional<int> NavigationTarget(std::uint16_t key, int current, int count, int top,
                                    int visibleRows) {
  const int page = std::max(1, visibleRows);
  const int from = std::max(current, 0);
  int target = current;
  switch (key) {
    case kVkUp:
    case kVkLeft:
      target = current < 0 ? 0 : current - 1;
      break;
    case kVkDown:
    case kVkRight:
      target = current < 0 ? 0 : current + 1;
      break;
    case kVkHome:
      target = 0;
      break;
    case kVkEnd:
      target = count - 1;
      break;
    case kVkPageDown: {
      const int bottom = top + page - 1;
      target = from < bottom ? bottom : from + page - 1;
      break;
    }
    case kVkPageUp:
      target = from > top ? top : from - (page - 1);
      break;
    default:
      return std::nullopt;
  }
  if (count <= 0) return -1;
  return std::clamp(target, 0, count - 1);
}

char16_t FoldCase(char16_t character) {
  if (character >= u'A' && character <= u'Z') return static_cast<char16_t>(character + 32);
  if (character >= 0x00C0 && character <= 0x00DE && character != 0x00D7) {
    return static_cast<char16_t>(character + 32);
  }
  switch (character) {
    case 0x0152:  // Œ
    case 0x0160:  // Š
    case 0x017D:  // Ž
      return static_cast<char16_t>(character + 1);
    case 0x0178:  // Ÿ
      return 0x00FF;
    default:
      return character;
  }
}

std::optional<int> TypeAhead::Type(const core::tcodelist* list, int current, char16_t character,
                                   std::uint32_t time) {
  // Unsigned difference: right across the clock's wrap-around.
  const bool fresh =
      m_prefix.empty() || static_cast<std::uint32_t>(time - m_lastTime) > kIntervalMs;
  m_lastTime = time;
  const char16_t folded = FoldCase(character);
  bool skip = false;
  if (fresh) {
    m_prefix.assign(1, folded);
    skip = current >= 0;
  } else {
    m_prefix += folded;
  }
  const bool sameKey =
      m_prefix.size() > 1 && std::all_of(m_prefix.begin(), m_prefix.end(),
                                         [&](char16_t c) { return c == m_prefix.front(); });
  if (sameKey) skip = true;
  const std::u16string_view wanted =
      sameKey ? std::u16string_view(m_prefix).substr(0, 1) : std::u16string_view(m_prefix);

  const int count = list == nullptr ? 0 : static_cast<int>(list->Count());
  if (count == 0) return std::nullopt;
  int start = current >= 0 && current < count ? current : 0;
  if (skip) start = start < count - 1 ? start + 1 : 0;
  for (int step = 0; step < count; ++step) {
    const int row = (start + step) % count;
    if (StartsWithFolded((*list)[static_cast<std::size_t>(row)], wanted)) return row;
  }
  return std::nullopt;
}

WidestRow EstimateWidestRow(const core::tcodelist& list, const std::array<int, 256>& advances) {
  WidestRow widest;
  const int count = static_cast<int>(list.Count());
  for (int row = 0; row < count; ++row) {
    const core::EntryText entry = list[static_cast<std::size_t>(row)];
    int estimate = 0;
    for (const std::string_view part : {entry.head, entry.tail}) {
      for (const char byte : part)
        estimate += advances[static_cast<std::uint8_t>(byte)];
    }
    if (widest.row < 0 || estimate > widest.estimate) widest = {row, estimate};
  }
  return widest;
}

}  // namespace viewer
