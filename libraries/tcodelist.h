// tcodelist: a library's entries as 8-bit texts (Windows-1252), in entry order. A plain list of
// texts: append at the end, read by index from 0, count; not sorted, duplicates allowed.
//
// The texts are kept back to back in large blocks rather than one allocation each: a library of
// 65,535 entries costs a handful of allocations and about half the memory to fill. An entry may
// also be shown as a text of its own followed by a text that another list holds (a resolved
// reference and its target's text): that list is kept alive, and the joined text is made only
// when someone asks for it, so that many references to one long entry cost no copies of it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// One entry as stored: `head`, followed by `tail` (empty for a text of its own). Views into the
// list's blocks and into the lists it keeps: valid while the list lives and that position is not
// Set.
struct EntryText {
  std::string_view head;
  std::string_view tail;

  [[nodiscard]] std::size_t size() const { return head.size() + tail.size(); }
  [[nodiscard]] bool empty() const { return head.empty() && tail.empty(); }
  // The joined text.
  [[nodiscard]] std::string String() const {
    std::string text;
    AppendTo(text);
    return text;
  }
  void AppendTo(std::string& out) const {
    out.append(head);
    out.append(tail);
  }
  operator std::string() const { return String(); }  // NOLINT: a text wherever a string serves

  friend bool operator==(const EntryText& a, std::string_view b) {
    return a.size() == b.size() && b.starts_with(a.head) && b.ends_with(a.tail);
  }
  friend bool operator==(const EntryText& a, const EntryText& b) {
    return a.size() == b.size() && a.String() == b.String();
  }
};

class tcodelist {
 public:
  tcodelist() = default;
  tcodelist(const tcodelist& other);
  tcodelist& operator=(const tcodelist& other);
  // A moved-from list is empty and sound: it owns no block of the list it was moved into.
  tcodelist(tcodelist&& other) noexcept;
  tcodelist& operator=(tcodelist&& other) noexcept;

  // Appends a copy of `text`.
  void Add(std::string_view text);
  // Appends an entry shown as a copy of `head` followed by `tail`, a text held by `keeper` (kept
  // alive by this list from now on).
  void AddJoined(std::string_view head, std::string_view tail,
                 std::shared_ptr<const tcodelist> keeper);
  // Makes room for `count` texts.
  void Reserve(std::size_t count) { m_items.reserve(count); }
  // Replaces the entry at `index` (below Count()) by a copy of `text`.
  void Set(std::size_t index, std::string_view text);

  [[nodiscard]] std::size_t Count() const { return m_items.size(); }
  // The entry at `index`; the caller keeps `index` below Count().
  [[nodiscard]] EntryText operator[](std::size_t index) const { return m_items[index]; }

  [[nodiscard]] auto begin() const { return m_items.begin(); }
  [[nodiscard]] auto end() const { return m_items.end(); }

  // A copy of every text, joined.
  [[nodiscard]] std::vector<std::string> Items() const;

  friend bool operator==(const tcodelist& a, const tcodelist& b);

 private:
  // A copy of `text` in the blocks.
  std::string_view Store(std::string_view text);

  std::vector<EntryText> m_items;
  std::vector<std::unique_ptr<char[]>> m_blocks;
  std::vector<std::shared_ptr<const tcodelist>> m_keepers;  // lists that tails point into
  char* m_free = nullptr;                                   // the unused end of the last block
  std::size_t m_freeLength = 0;
};

}  // namespace core
