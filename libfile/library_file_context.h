// What the two library-file classes share program-wide: the record manager they talk to and their
// scratch areas. The program creates one context and passes it to every file object; tests make
// fresh ones.
#pragma once

#include <array>
#include <cstddef>

#include "libfile/record_manager.h"

namespace libfile {

inline constexpr std::size_t kScratchBufferSize = 4129;  // TBasisDatei32's ScratchBuffer
inline constexpr std::size_t kPartBufferSize = 2059;     // TBasisDatei's PartBuffer

struct LibraryFileContext {
  explicit LibraryFileContext(RecordManager& manager) : recordManager(manager) {}

  RecordManager& recordManager;
  // Receives every Get Last of a TBasisDatei32; nothing ever reads it.
  std::array<std::byte, kScratchBufferSize> scratchBuffer{};
  // Receives a TBasisDatei's continuation records, its count query and its repositioning reads.
  std::array<std::byte, kPartBufferSize> partBuffer{};
};

}  // namespace libfile
