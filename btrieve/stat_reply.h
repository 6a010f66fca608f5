// The layout of the Stat reply: a header with the file's figures, then one entry per key segment
// in key order. BTRCALL writes it and tools read it through this one table.
#pragma once

#include <cstddef>

namespace btrieve::stat_reply {

// A little-endian field: its offset in the header or in a segment entry, and its size in bytes.
struct Field {
  std::size_t offset;
  std::size_t size;
};

inline constexpr std::size_t kHeaderSize = 16;
inline constexpr Field kRecordLength{0, 2};  // logical record length (the fixed part)
inline constexpr Field kPageSize{2, 2};
inline constexpr Field kKeyCount{4, 2};
inline constexpr Field kRecordCount{6, 4};
inline constexpr Field kFileFlags{10, 2};

// Segment entries follow the header, kSegmentSize bytes each.
inline constexpr std::size_t kSegmentSize = 16;
inline constexpr Field kSegmentPosition{0, 2};  // from 1
inline constexpr Field kSegmentLength{2, 2};
inline constexpr Field kSegmentFlags{4, 2};
inline constexpr Field kSegmentUniqueCount{6, 4};  // of the segment's key
inline constexpr Field kSegmentType{10, 1};
inline constexpr Field kSegmentNullValue{11, 1};
inline constexpr Field kSegmentKeyNumber{14, 1};

}  // namespace btrieve::stat_reply
