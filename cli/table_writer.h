// The table format for a terminal: a header row, then one row per entry, columns separated by two
// spaces and aligned by the width a terminal gives each character (wide ones two columns,
// combining marks none). Cut with "…" to a terminal's width when one is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// The columns a terminal gives `utf8` (a byte that is not well-formed UTF-8 counts one).
[[nodiscard]] std::size_t DisplayWidth(std::string_view utf8);

// `utf8` as a table cell shows it, appended to `out`: tab, newline, carriage return and backslash
// as \t \n \r \\ (as the text format writes them), other control characters and bytes that are
// not well-formed UTF-8 as \xNN or \u00NN, so that nothing reaches the terminal as a command.
void AppendTableCell(std::string& out, std::string_view utf8);

class TableLayout {
 public:
  // `rightAligned` tells for each column whether it holds numbers (aligned right, never cut).
  explicit TableLayout(std::vector<bool> rightAligned);

  // The next cell, row after row (the first row is the header): `utf8` as AppendTableCell shows
  // it.
  void Add(std::string_view utf8);

  // The table, written to `out` in large pieces. With a `width` (a terminal's columns, 0 for none)
  // the text columns are narrowed until a row fits, and cells longer than their column end in "…".
  void Write(std::ostream& out, std::size_t width) const;

 private:
  std::vector<bool> m_rightAligned;
  // The cells row after row, one after another in one text (a table of a million rows costs
  // little more than its text), with where each ends and its display width.
  std::string m_text;
  std::vector<std::size_t> m_ends;
  std::vector<std::uint32_t> m_widths;
};

}  // namespace cli
