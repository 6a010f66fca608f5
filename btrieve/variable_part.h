// The variable part of a record in a variable-length file: the fragments on variable pages that a
// record's slot points at, chained from one to the next. Every pointer, page and fragment is
// checked before it is used; a damaged chain is reported with the bytes gathered before the fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <unordered_set>

#include "btrieve/parsed_file.h"
#include "btrieve/reason.h"

namespace btrieve {

// What a chain holds: the bytes of its sound fragments (all of them when it is intact) and whether
// it ends in damage: a bad pointer, page or fragment, a loop, or more bytes than the file can hold.
struct VariablePart {
  std::uint64_t length = 0;
  bool damaged = false;
  Reason reason;  // which check found the damage (status 54)
};

// Where variable pages are found. `pageMap` (6.x only): per logical page, the page type in the top
// byte and the physical page below it (0 where the logical page is not in use).
struct VariablePages {
  std::span<const std::byte> image;
  const FileFacts* facts = nullptr;
  std::span<const std::uint32_t> pageMap;
};

// Fragments that the chains of two or more records reach, each as FragmentKey gives it. A genuine
// file never shares a fragment; a crafted one that makes every record's chain run through one long
// chain would make reading every record cost records times chain length.
using SharedFragments = std::unordered_set<std::uint64_t>;

// What names one fragment whatever pointer reached it: its page and its index in that page.
[[nodiscard]] inline std::uint64_t FragmentKey(std::uint32_t pointer) {
  return (std::uint64_t{pointer & 0xFF} << 24 | ((pointer >> 8) & 0xFFFF)) << 8 | (pointer >> 24);
}

// Walks the chain of every record once (`pointers`: the first pointer of each, FF FF FF FF for
// none) and gives the fragments that more than one chain reaches. Each fragment is claimed by the
// first chain that reaches it; a chain stops at a fragment claimed before (by another record, or
// by itself: a loop) and at its first fault, so the walk costs time and memory in proportion to the
// fragments in the file, never to records times chain length.
[[nodiscard]] SharedFragments FindSharedFragments(const VariablePages& pages,
                                                  std::span<const std::uint32_t> pointers);

// Follows the chain that starts at `pointer` (the four bytes after a slot's fixed part; FF FF FF
// FF: no variable part) and copies its bytes, in chain order, into `out` as far as it reaches.
// Never allocates; a loop is found with constant memory.
// A fragment in `shared` ends the chain as damage: the bytes before it are the record's.
[[nodiscard]] VariablePart ReadVariablePart(const VariablePages& pages, std::uint32_t pointer,
                                            std::span<std::byte> out,
                                            const SharedFragments* shared = nullptr);

}  // namespace btrieve
