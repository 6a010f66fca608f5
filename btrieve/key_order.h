// Builds the order in which Get operations see the records of one key: sorted by the key's value,
// null keys left out, equal values of a linked-duplicate key in the order of their duplicate chain.
#pragma once

#include <span>

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
// radix sort of those forms); records are compared with each other only where a long key's form
// was cut short and two values agree on all of it.
[[nodiscard]] KeyOrder BuildKeyOrder(const KeySpec& key, std::span<const std::byte> image,
                                     const FileFacts& facts, std::span<const RecordRef> records);

// The same order built by comparing records pairwise with the key comparator: the reference that
// BuildKeyOrder is checked against. Slow on files stored out of key order.
[[nodiscard]] KeyOrder BuildKeyOrderByComparison(const KeySpec& key,
                                                 std::span<const std::byte> image,
                                                 const FileFacts& facts,
                                                 std::span<const RecordRef> records);

}  // namespace btrieve
