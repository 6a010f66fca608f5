// The shared parsed form of a record file (see parsed_file.h).
#include "btrieve/parsed_file.h"

#include <utility>

#include "btrieve/key_order.h"

namespace btrieve {

ParsedFile::ParsedFile(std::vector<std::byte> image, FileFacts facts, std::vector<KeySpec> keys,
                       std::vector<RecordRef> records)
    : m_image(std::move(image)),
      m_facts(facts),
      m_keys(std::move(keys)),
      m_records(std::move(records)),
      m_orders(std::make_unique<LazyOrder[]>(m_keys.size())) {}

std::span<const std::byte> ParsedFile::Record(std::size_t index) const {
  return std::span<const std::byte>(m_image).subspan(
      m_records[index].slotOffset + m_facts.constants->dataOffsetInSlot, m_facts.recordLength);
}

const KeyOrder& ParsedFile::Order(std::size_t key) const {
  LazyOrder& lazy = m_orders[key];
  std::call_once(lazy.once,
                 [&] { lazy.order = BuildKeyOrder(m_keys[key], m_image, m_facts, m_records); });
  return lazy.order;
}

}  // namespace btrieve
