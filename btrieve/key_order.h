// Builds the order in which Get operations see the records of one key: sorted by the key's value,
// null keys left out, equal values of a linked-duplicate key in the order of their duplicate chain.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "btrieve/key_compare.h"
#include "btrieve/parsed_file.h"

namespace btrieve {

// Whether `key` has linked duplicates: its flags link them (key_flags::LinksDuplicates) and the
// slot has a pointer pair for them.
[[nodiscard]] inline bool HasLinkedDuplicates(const KeySpec& key) {
  return key_flags::LinksDuplicates(key.flags) && key.duplicatePointerOffset != 0;
}

// Equal values keep their physical order unless the key has linked duplicates (flag 0x01 without
// 0x80, with a pointer pair in the slot); then each group of two or more equal values must form
// exactly one chain through the (previous, next) record addresses, from the member whose previous
// is none to the one whose next is none. A group that does not gives status 2 (damaged file), as
// does a key whose alternate collating sequence is not in the file.
//
// The order is built from each record's key taken out once in a form that compares as bytes (a
// radix sort of those forms, see SortableKeyOrder); records are compared with each other only
// where a long key's form was cut short and two values agree on all of it.
[[nodiscard]] KeyOrder BuildKeyOrder(const KeySpec& key, std::span<const std::byte> image,
                                     const FileFacts& facts, std::span<const RecordRef> records);

// Builds the order of any key that can be ordered from records handed to it one at a time: the
// parse hands it key 0 while it walks the slots (when SmallIntegerKeyOrder does not serve), so that
// the order needs no second pass over the records. Each record's key becomes its sortable form
// (each segment as bytes that compare with memcmp as the comparator orders it, at most 32 bytes
// kept), of which the first eight, as a number, are radix-sorted; the rest of the kept form
// settles ties, and the comparator those that agree on all of it.
class SortableKeyOrder {
 public:
  // Whether `key` can be ordered at all: every segment of a type the reader orders, and its
  // collating sequences found (the segments' tables are set).
  [[nodiscard]] static bool Handles(const KeySpec& key);

  // For a key that Handles, which must outlive this; `expected` records are reserved for.
  SortableKeyOrder(const KeySpec& key, const FileFacts& facts, std::size_t expected);

  // Record `index` (each index once, ascending), whose slot begins at `slot` and holds the whole
  // record.
  void Add(const std::byte* slot, std::uint32_t index);

  // The order of the records added, `records` being all the file's records.
  [[nodiscard]] KeyOrder Finish(std::span<const std::byte> image, const FileFacts& facts,
                                std::span<const RecordRef> records);

 private:
  // One record whose key is not null: the first eight bytes of its sortable form as a big-endian
  // number, and its number among those records (`member`).
  struct Item {
    std::uint64_t prefix;
    std::uint32_t member;
  };
  [[nodiscard]] std::uint32_t RecordOf(std::uint32_t member) const {
    return m_members.empty() ? member : m_members[member];
  }
  [[nodiscard]] const std::uint8_t* FormOf(std::uint32_t member) const {
    return m_forms.data() + std::size_t{member} * m_kept;
  }

  const KeySpec* m_key;
  std::size_t m_dataOffset;
  std::size_t m_recordLength;
  std::size_t m_expected;
  std::size_t m_width = 0;  // of the whole sortable form
  std::size_t m_kept = 0;   // of it kept per record (forms longer than 8 bytes are stored)
  bool m_mayBeNull;
  // A key of one integer segment of 1, 2, 4 or 8 bytes is its own sortable number: read from
  // m_integerOffset, m_integerLength bytes, XORed with m_flipAndInvert.
  bool m_integer = false;
  std::size_t m_integerOffset = 0;
  std::size_t m_integerLength = 0;
  std::uint64_t m_flipAndInvert = 0;
  bool m_sorted = true;  // the items so far are in key order
  std::vector<Item> m_items;
  // The record of each member, kept only once they differ (null keys left out).
  std::vector<std::uint32_t> m_members;
  std::vector<std::uint8_t> m_forms;  // m_kept bytes per member, when m_kept > 8
  std::size_t m_formsUsed = 0;
  std::vector<std::uint8_t> m_whole;  // one record's whole form (at least 8 bytes)
  std::vector<std::size_t> m_widths;  // of each segment's sortable form
};

// Builds the order of a key of one integer segment of 1, 2 or 4 bytes (AUTOINCREMENT included), the
// most common key there is, from values handed to it one record at a time: the parse hands it key 0
// while it walks the slots, so that the order needs no second pass over the records. Each record
// becomes one number, its sortable value above its index, so that a plain sort of the numbers is
// the key order with equal values in physical order; records stored in key order need no sort at
// all.
class SmallIntegerKeyOrder {
 public:
  // Whether `key` is such a key (and can be ordered at all).
  [[nodiscard]] static bool Handles(const KeySpec& key);

  // For a key that Handles; `expected` records are reserved for.
  SmallIntegerKeyOrder(const KeySpec& key, const FileFacts& facts, std::size_t expected);

  // Record `index` (each index once, ascending), whose slot begins at `slot` and holds the whole
  // record.
  void Add(const std::byte* slot, std::uint32_t index) {
    const std::byte* const record = slot + m_dataOffset;
    if (m_mayBeNull && IsNullKey(*m_key, std::span(record, m_recordLength))) return;
    const std::byte* const bytes = record + m_keyOffset;
    std::uint32_t value = 0;
    switch (m_length) {
      case 1:
        value = std::to_integer<std::uint32_t>(bytes[0]);
        break;
      case 2:
        value = std::to_integer<std::uint32_t>(bytes[0]) |
                (std::to_integer<std::uint32_t>(bytes[1]) << 8);
        break;
      default:
        value = std::to_integer<std::uint32_t>(bytes[0]) |
                (std::to_integer<std::uint32_t>(bytes[1]) << 8) |
                (std::to_integer<std::uint32_t>(bytes[2]) << 16) |
                (std::to_integer<std::uint32_t>(bytes[3]) << 24);
        break;
    }
    // AUTOINCREMENT: the absolute value (of a negative one: its two's complement).
    if (m_magnitude && (value >> (8 * m_length - 1)) != 0) value = (~value + 1) & m_mask;
    const std::uint64_t item = (std::uint64_t{value ^ m_flipAndInvert} << 32) | index;
    m_sorted = m_sorted && (m_items.empty() || item >= m_items.back());
    m_items.push_back(item);
  }

  // The order of the records added, `records` being all the file's records.
  [[nodiscard]] KeyOrder Finish(std::span<const std::byte> image, const FileFacts& facts,
                                std::span<const RecordRef> records);

 private:
  const KeySpec* m_key;
  std::size_t m_dataOffset;
  std::size_t m_recordLength;
  std::size_t m_keyOffset;
  std::size_t m_length;
  std::uint32_t m_flipAndInvert;
  std::uint32_t m_mask = 0;  // the value bits of m_length bytes
  bool m_magnitude = false;  // ordered by absolute value
  bool m_mayBeNull;
  bool m_sorted = true;
  std::vector<std::uint64_t> m_items;
};

// The same order built by comparing records pairwise with the key comparator: the reference that
// BuildKeyOrder is checked against. Slow on files stored out of key order.
[[nodiscard]] KeyOrder BuildKeyOrderByComparison(const KeySpec& key,
                                                 std::span<const std::byte> image,
                                                 const FileFacts& facts,
                                                 std::span<const RecordRef> records);

}  // namespace btrieve
