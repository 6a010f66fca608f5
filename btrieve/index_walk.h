// Checks each key's own index (its B-tree of index pages) against the records: every record with a
// non-null key reached exactly once, entries in key order, each entry's key bytes equal to its
// record's, duplicates and the unique-value count as the key's definition says. A tool for files
// the reader opened; Get operations never read index pages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "btrieve/parsed_file.h"

namespace btrieve {

// One disagreement between an index and the records. `page` is the physical page (0-based) of the
// index page, or of the record's data page when the record is what is wrong; `entry` the entry in
// that index page (0-based). Either is Reason::kUnset where it does not apply.
struct IndexFinding {
  std::uint32_t key = 0;
  std::uint64_t page = Reason::kUnset;
  std::uint64_t entry = Reason::kUnset;
  std::string what;
};

// Walks the index of every key of `file` and lists what disagrees, in key order and, within a key,
// in the order the walk met it; empty when every index matches the records. A key with more than
// 1000 findings lists the first 1000 and then one finding that counts the rest. Never recursive (an
// explicit stack, each page entered at most once per key, so a cycle is a finding), time and memory
// linear in the file.
//
// Index page layout, both formats: the page's own number at 0 (pre-6.0 word-swapped physical
// number; 6.x a page reference of type 0x80 + key number with its logical number), a usage word at
// 4, the entry count at 6, the child after the last entry at 8 (FF FF FF FF in a leaf), then the
// entries from 12, each the child before it (4 bytes), the key bytes and the record address (the
// first and last of the duplicate chain for a key with linked duplicates).
[[nodiscard]] std::vector<IndexFinding> WalkIndexes(const ParsedFile& file);

// The same for the file open in `positionBlock`; nothing when the block holds no open file.
[[nodiscard]] std::optional<std::vector<IndexFinding>> WalkIndexesOfOpenFile(
    const void* positionBlock);

}  // namespace btrieve
