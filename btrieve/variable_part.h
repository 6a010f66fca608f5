// The variable part of a record in a variable-length file: the fragments on variable pages that a
// record's slot points at, chained from one to the next. Every pointer, page and fragment is
// checked before it is used; a damaged chain is reported with the bytes gathered before the fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

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

// Follows the chain that starts at `pointer` (the four bytes after a slot's fixed part; FF FF FF
// FF: no variable part) and copies its bytes, in chain order, into `out` as far as it reaches.
// Never allocates; a loop is found with constant memory.
[[nodiscard]] VariablePart ReadVariablePart(const VariablePages& pages, std::uint32_t pointer,
                                            std::span<std::byte> out);

}  // namespace btrieve
