// tcodelist: a library's entries as 8-bit texts (Windows-1252), in entry order. A plain list of
// strings: append at the end, read by index from 0, count; not sorted, duplicates allowed.
//
// The texts are kept back to back in large blocks rather than one allocation each: a library of
// 65,535 entries costs a handful of allocations and about half the memory to fill.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace core {

class tcodelist {
 public:
  tcodelist() = default;
  tcodelist(const tcodelist& other);
  tcodelist& operator=(const tcodelist& other);
  // A move hands over the texts and their blocks; the moved-from list is empty and sound (its
  // next Add starts a block of its own).
  tcodelist(tcodelist&& other) noexcept;
  tcodelist& operator=(tcodelist&& other) noexcept;

  // Appends a copy of `text`.
  void Add(std::string_view text);
  // Makes room for `count` texts.
  void Reserve(std::size_t count) { m_items.reserve(count); }
  // Replaces the text at `index` (below Count()) by a copy of `text`.
  void Set(std::size_t index, std::string_view text);

  [[nodiscard]] std::size_t Count() const { return m_items.size(); }
  // The text at `index`; the caller keeps `index` below Count(). Valid while the list lives and
  // that position is not Set.
  [[nodiscard]] std::string_view operator[](std::size_t index) const { return m_items[index]; }

  [[nodiscard]] auto begin() const { return m_items.begin(); }
  [[nodiscard]] auto end() const { return m_items.end(); }

  // A copy of every text.
  [[nodiscard]] std::vector<std::string> Items() const;

  friend bool operator==(const tcodelist& a, const tcodelist& b) { return a.m_items == b.m_items; }

 private:
  // A copy of `text` in the blocks.
  std::string_view Store(std::string_view text);

  std::vector<std::string_view> m_items;
  std::vector<std::unique_ptr<char[]>> m_blocks;
  char* m_free = nullptr;  // the unused end of the last block
  std::size_t m_freeLength = 0;
};

}  // namespace core
