// The shared parsed form of a record file (see parsed_file.h).
#include "btrieve/parsed_file.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "btrieve/btrieve.h"
#include "btrieve/byte_reader.h"
#include "btrieve/key_order.h"
#include "btrieve/variable_part.h"

namespace btrieve {

ParsedFile::ParsedFile(FileImage image, FileFacts facts, std::vector<KeySpec> keys,
                       std::vector<RecordRef> records, std::vector<std::uint32_t> pageMap,
                       std::optional<KeyOrder> firstOrder)
    : m_image(std::move(image)),
      m_facts(facts),
      m_keys(std::move(keys)),
      m_records(std::move(records)),
      m_pageMap(std::move(pageMap)),
      m_orders(std::make_unique<LazyOrder[]>(m_keys.size())) {
  if (firstOrder && !m_keys.empty()) {
    m_orders[0].order = std::move(*firstOrder);
    if (m_orders[0].order.status != 0) m_orders[0].order.reason.key = 0;
    m_orders[0].built.store(true, std::memory_order_release);
  }
  if (!m_facts.variable) return;
  ByteReader reader(m_image.Bytes());
  std::vector<std::uint32_t> pointers(m_records.size());
  for (std::size_t i = 0; i < m_records.size(); ++i) {
    pointers[i] = reader.U32(std::uint64_t{m_records[i].slotOffset} +
                             m_facts.constants->dataOffsetInSlot + m_facts.recordLength);
  }
  m_shared = FindSharedFragments(VariablePages{m_image.Bytes(), &m_facts, m_pageMap}, pointers);
}

std::span<const std::byte> ParsedFile::Record(std::size_t index) const {
  return m_image.Bytes().subspan(m_records[index].slotOffset + m_facts.constants->dataOffsetInSlot,
                                 m_facts.recordLength);
}

RecordCopy ParsedFile::CopyRecord(std::size_t index, std::span<std::byte> out) const {
  RecordCopy result;
  const std::span<const std::byte> fixed = Record(index);
  const std::size_t fixedCopied = std::min(out.size(), fixed.size());
  if (fixedCopied > 0) std::memcpy(out.data(), fixed.data(), fixedCopied);
  std::uint64_t whole = fixed.size();
  bool damaged = false;
  if (m_facts.variable) {
    // The variable-part pointer follows the fixed part in the slot (checked to fit at parse time).
    ByteReader reader(m_image.Bytes());
    const std::uint32_t pointer =
        reader.U32(std::uint64_t{m_records[index].slotOffset} +
                   m_facts.constants->dataOffsetInSlot + m_facts.recordLength);
    const VariablePages pages{m_image.Bytes(), &m_facts, m_pageMap};
    const VariablePart part = ReadVariablePart(pages, pointer, out.subspan(fixedCopied),
                                               m_shared.empty() ? nullptr : &m_shared);
    whole += part.length;
    damaged = part.damaged;
    if (damaged) result.reason = part.reason;
  }
  result.copied = static_cast<std::uint32_t>(std::min<std::uint64_t>(out.size(), whole));
  if (damaged) {
    result.status = status::kVariablePartDamaged;
  } else if (result.copied < whole) {
    result.status = status::kDataBufferTooShort;
  }
  return result;
}

const KeyOrder& ParsedFile::Order(std::size_t key) const {
  LazyOrder& lazy = m_orders[key];
  if (lazy.built.load(std::memory_order_acquire)) return lazy.order;
  std::call_once(lazy.once, [&] {
    lazy.order = BuildKeyOrder(m_keys[key], m_image.Bytes(), m_facts, m_records);
    if (lazy.order.status != 0) lazy.order.reason.key = key;
    lazy.built.store(true, std::memory_order_release);
  });
  return lazy.order;
}

KeyOrder ParsedFile::ReferenceOrder(std::size_t key) const {
  return BuildKeyOrderByComparison(m_keys[key], m_image.Bytes(), m_facts, m_records);
}

}  // namespace btrieve
