// How the list moves: the keys that move the selection, type-ahead, and the estimate of the widest
// row, the same for every front.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "libraries/tcodelist.h"

namespace viewer {

// Reading a row that does not exist, as a list box reports it.
class ListIndexError : public std::out_of_range {
 public:
  explicit ListIndexError(int index);
};

// Where `key` moves the selection of a list of `count` rows whose selected row is `current` (-1
// when none), whose top row is `top` and which shows `visibleRows` rows wholly: Up and Left one
// up, Down and Right one down (with nothing selected both select row 0), Home the first row, End
// the last, Page Down first to the last whole row of the page and then a page further, Page Up
// likewise upwards; clamped to the rows. Nothing for any other key; -1 for a navigation key in an
// empty list.
[[nodiscard]] std::optional<int> NavigationTarget(std::uint16_t key, int current, int count,
                                                  int top, int visibleRows);

// Whether `key` is one of the arrow keys, whose moves the list reports as a click.
[[nodiscard]] bool IsArrowKey(std::uint16_t key);

// Type-ahead: characters typed within a short interval of each other form a prefix; the next row
// (from the selected one on, around the end) whose shown text starts with it, without regard to
// letter case, is the match. A new prefix, and a prefix of one character repeated ("ggg"), start
// the search after the selected row, so that repeating a letter walks through its rows.
class TypeAhead {
 public:
  // The interval after which a typed character starts a new prefix, in milliseconds.
  static constexpr std::uint32_t kIntervalMs = 400;

  // Adds `character`, typed at `time` (a wrapping millisecond clock), and returns the row to select
  // in `list` from `current` (-1: none selected); nothing when no row matches.
  [[nodiscard]] std::optional<int> Type(const core::tcodelist* list, int current,
                                        char16_t character, std::uint32_t time);
  // Forgets the prefix (a new list is shown).
  void Reset() { m_prefix.clear(); }

 private:
  std::u16string m_prefix;  // folded
  std::uint32_t m_lastTime = 0;
};

// The case folding that type-ahead uses, for the characters of Windows-1252: upper-case letters
// to lower-case ones; every other character unchanged.
[[nodiscard]] char16_t FoldCase(char16_t character);

// The row whose text is estimated widest in a font whose advance for each Windows-1252 byte is
// `advances[byte]`: the sum of its characters' advances (kerning is left out; the front measures
// that one row as a whole). -1 and 0 for an empty list.
struct WidestRow {
  int row = -1;
  int estimate = 0;
};
[[nodiscard]] WidestRow EstimateWidestRow(const core::tcodelist& list,
                                          const std::array<int, 256>& advances);

}  // namespace viewer
