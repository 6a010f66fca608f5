// The list's block storage (see tcodelist.h).
#include "libraries/tcodelist.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace core {

namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

}  // namespace

tcodelist::tcodelist(const tcodelist& other) : m_keepers(other.m_keepers) {
  m_items.reserve(other.m_items.size());
  for (const EntryText& entry : other.m_items)
    m_items.push_back({Store(entry.head), entry.tail});
}

tcodelist& tcodelist::operator=(const tcodelist& other) {
  if (this != &other) *this = tcodelist(other);
  return *this;
}

tcodelist::tcodelist(tcodelist&& other) noexcept
    : m_items(std::move(other.m_items)),
      m_blocks(std::move(other.m_blocks)),
      m_keepers(std::move(other.m_keepers)),
      m_free(std::exchange(other.m_free, nullptr)),
      m_freeLength(std::exchange(other.m_freeLength, 0)) {
  other.m_items.clear();
  other.m_blocks.clear();
  other.m_keepers.clear();
}

tcodelist& tcodelist::operator=(tcodelist&& other) noexcept {
  if (this != &other) {
    m_items = std::move(other.m_items);
    m_blocks = std::move(other.m_blocks);
    m_keepers = std::move(other.m_keepers);
    m_free = std::exchange(other.m_free, nullptr);
    m_freeLength = std::exchange(other.m_freeLength, 0);
    other.m_items.clear();
    other.m_blocks.clear();
    other.m_keepers.clear();
  }
  return *this;
}

void tcodelist::Add(std::string_view text) {
  m_items.push_back({Store(text), {}});
}

void tcodelist::AddJoined(std::string_view head, std::string_view tail,
                          std::shared_ptr<const tcodelist> keeper) {
  if (!tail.empty() && keeper != nullptr &&
      std::find(m_keepers.rbegin(), m_keepers.rend(), keeper) == m_keepers.rend()) {
    m_keepers.push_back(std::move(keeper));
  }
  m_items.push_back({Store(head), tail});
}

void tcodelist::Set(std::size_t index, std::string_view text) {
  m_items[index] = {Store(text), {}};
}

std::vector<std::string> tcodelist::Items() const {
  std::vector<std::string> items;
  items.reserve(m_items.size());
  for (const EntryText& entry : m_items)
    items.push_back(entry.String());
  return items;
}

bool operator==(const tcodelist& a, const tcodelist& b) {
  return a.Count() == b.Count() && std::equal(a.begin(), a.end(), b.begin());
}

std::string_view tcodelist::Store(std::string_view text) {
  if (text.empty()) return {};
  if (text.size() > m_freeLength) {
    // A text longer than a block gets a block of its own; the current block keeps its free end.
    const std::size_t size = std::max(kBlockSize, text.size());
    auto block = std::make_unique_for_overwrite<char[]>(size);
    char* const start = block.get();
    m_blocks.push_back(std::move(block));
    if (size > kBlockSize) {
      std::memcpy(start, text.data(), text.size());
      return {start, text.size()};
    }
    m_free = start;
    m_freeLength = size;
  }
  std::memcpy(m_free, text.data(), text.size());
  const std::string_view stored(m_free, text.size());
  m_free += text.size();
  m_freeLength -= text.size();
  return stored;
}

}  // namespace core
