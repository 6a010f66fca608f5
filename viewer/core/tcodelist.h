// tcodelist: a library's entries as 8-bit texts (Windows-1252), in entry order. A plain list of
// strings: append at the end, read by index from 0, count; not sorted, duplicates allowed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace core {

class tcodelist {
 public:
  void Add(std::string text) { m_items.push_back(std::move(text)); }
  void Reserve(std::size_t count) { m_items.reserve(count); }

  [[nodiscard]] std::size_t Count() const { return m_items.size(); }
  // The text at `index`; the caller keeps `index` below Count().
  [[nodiscard]] const std::string& operator[](std::size_t index) const { return m_items[index]; }
  [[nodiscard]] std::string& operator[](std::size_t index) { return m_items[index]; }

  [[nodiscard]] const std::vector<std::string>& Items() const { return m_items; }

  friend bool operator==(const tcodelist&, const tcodelist&) = default;

 private:
  std::vector<std::string> m_items;
};

}  // namespace core
