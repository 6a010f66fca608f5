// Where things live in a record file, for each supported format. One table per format is chosen
// when a file is recognised; the rest of the reader asks the table instead of testing the version
// again.
#pragma once

#include <cstdint>

namespace btrieve {

enum class FileFormat { kPre6, kV6 };

struct FormatConstants {
  FileFormat format;
  std::uint32_t fcrCopies;         // 1: page 0 only; 2: pages 0 and 1, the larger usage count wins
  std::uint32_t dataOffsetInSlot;  // record data start inside a slot (after the 6.x usage count)
  std::uint32_t keyPositionBias;   // stored segment start minus this = 0-based record offset
  bool pagesMappedThroughPat;      // 6.x: logical pages reach physical ones through the PAT pairs
  bool hasKeyAttributeTable;       // 6.x: FCR 0x78 names a table of each key's first segment spec
  bool hasRecoveryMarker;          // pre-6.0: FCR 0x22 = 0xFFFF marks a file that needs recovery
  bool everyFragmentChained;       // 6.x: every fragment starts with its next pointer
};

inline constexpr FormatConstants kPre6Constants{
    .format = FileFormat::kPre6,
    .fcrCopies = 1,
    .dataOffsetInSlot = 0,
    .keyPositionBias = 0,
    .pagesMappedThroughPat = false,
    .hasKeyAttributeTable = false,
    .hasRecoveryMarker = true,
    .everyFragmentChained = false,
};

inline constexpr FormatConstants kV6Constants{
    .format = FileFormat::kV6,
    .fcrCopies = 2,
    .dataOffsetInSlot = 2,
    .keyPositionBias = 2,
    .pagesMappedThroughPat = true,
    .hasKeyAttributeTable = true,
    .hasRecoveryMarker = false,
    .everyFragmentChained = true,
};

// Layout shared by both formats.
namespace layout {
inline constexpr std::uint32_t kMinPageSize = 512;
inline constexpr std::uint32_t kMaxPageSize = 4096;
inline constexpr std::uint32_t kPageHeaderSize = 6;  // records start at this page offset

// File Control Record fields (offsets inside the FCR page).
inline constexpr std::uint32_t kFcrUsage = 0x04;
inline constexpr std::uint32_t kFcrPre6Version = 0x06;  // byte 6 = 0, byte 7 = 3, 4 or 5
inline constexpr std::uint32_t kFcrPageSize = 0x08;
inline constexpr std::uint32_t kFcrDeletedChain = 0x10;  // pre-6.0, WS32 file offset or 0xFFFFFFFF
inline constexpr std::uint32_t kFcrKeyCount = 0x14;
inline constexpr std::uint32_t kFcrRecordLength = 0x16;
inline constexpr std::uint32_t kFcrPhysicalLength = 0x18;
inline constexpr std::uint32_t kFcrRecordCount = 0x1A;  // WS32
inline constexpr std::uint32_t kFcrRecovery = 0x22;     // pre-6.0
inline constexpr std::uint32_t kFcrPageCount = 0x26;    // WS32
inline constexpr std::uint32_t kFcrVariableMarker = 0x38;
inline constexpr std::uint32_t kFcrV6Version = 0x4A;
inline constexpr std::uint32_t kFcrKeyCountCopy = 0x76;  // 6.x, one byte
inline constexpr std::uint32_t kFcrKeyAttributeTable = 0x78;
inline constexpr std::uint32_t kFcrFileFlags = 0x106;
inline constexpr std::uint32_t kFcrKeySpecs = 0x110;

// Key segment specification (30 bytes each).
inline constexpr std::uint32_t kKeySpecSize = 30;
inline constexpr std::uint32_t kSpecUniqueCount = 0x04;  // WS32
inline constexpr std::uint32_t kSpecFlags = 0x08;
inline constexpr std::uint32_t kSpecDuplicatePointers = 0x12;  // slot offset of (previous, next)
inline constexpr std::uint32_t kSpecPosition = 0x14;
inline constexpr std::uint32_t kSpecLength = 0x16;
inline constexpr std::uint32_t kSpecCollationPage = 0x19;  // 6.x: logical page of the segment's ACS
inline constexpr std::uint32_t kSpecType = 0x1C;
inline constexpr std::uint32_t kSpecNullValue = 0x1D;

// 6.x pages.
inline constexpr std::uint32_t kPatHeaderSize = 8;
inline constexpr std::uint32_t kPatUsage = 0x04;
inline constexpr std::uint8_t kPageTypeData = 0x44;       // 'D'
inline constexpr std::uint8_t kPageTypePat = 0x50;        // 'P'
inline constexpr std::uint8_t kPageTypeVariable = 0x56;   // 'V'
inline constexpr std::uint8_t kPageTypeCollation = 0x41;  // 'A'
inline constexpr std::uint32_t kNoPointer = 0xFFFFFFFF;

// Alternate collating sequence pages: a marker byte, the sequence's name and its 256-byte table.
// Pre-6.0 files keep their one sequence in page 1 (whose header names page 1 and a zero usage
// word); 6.x files keep each in a page of its own, named by the key segments that use it.
inline constexpr std::uint32_t kCollationMarkerOffset = 6;
inline constexpr std::uint8_t kCollationMarker = 0xAC;
inline constexpr std::uint32_t kCollationTableOffset = 15;
inline constexpr std::uint32_t kCollationTableSize = 256;

// Variable pages: a fragment count at 0x0A, fragments from 0x0C upwards and a table of fragment
// offsets growing down from the page end (entry i at page size - 2 - 2i; entry n marks the end).
inline constexpr std::uint32_t kVariableCountOffset = 0x0A;
inline constexpr std::uint32_t kVariableFirstFragment = 0x0C;
inline constexpr std::uint16_t kFragmentFree = 0xFFFF;
inline constexpr std::uint16_t kFragmentOffsetMask = 0x7FFF;
inline constexpr std::uint16_t kFragmentChained = 0x8000;  // pre-6.0: starts with a next pointer
inline constexpr std::uint32_t kVariablePointerSize = 4;

// Pre-6.0 pages: the word at offset 4 has this bit set on data pages.
inline constexpr std::uint16_t kPre6DataPageBit = 0x8000;
}  // namespace layout

// File flags (FCR 0x106).
namespace file_flags {
inline constexpr std::uint16_t kVariableLength = 0x0001;
inline constexpr std::uint16_t kBlankTruncation = 0x0002;
inline constexpr std::uint16_t kCompression = 0x0008;
inline constexpr std::uint16_t kKeyOnly = 0x0010;
inline constexpr std::uint16_t kVariableTailTables = 0x0800;
}  // namespace file_flags

// Key flags (segment spec +0x08).
namespace key_flags {
inline constexpr std::uint16_t kDuplicates = 0x0001;
inline constexpr std::uint16_t kBinary = 0x0004;
inline constexpr std::uint16_t kNullAll = 0x0008;
inline constexpr std::uint16_t kSegmented = 0x0010;
inline constexpr std::uint16_t kAlternateCollation = 0x0020;
inline constexpr std::uint16_t kDescending = 0x0040;
inline constexpr std::uint16_t kRepeatingDuplicates = 0x0080;
inline constexpr std::uint16_t kExtendedType = 0x0100;
inline constexpr std::uint16_t kNullAny = 0x0200;
inline constexpr std::uint16_t kCaseInsensitive = 0x0400;

// Whether a key with these flags links its equal values through a pointer pair in each slot:
// duplicates allowed, and not the repeating kind.
[[nodiscard]] constexpr bool LinksDuplicates(std::uint16_t flags) {
  return (flags & kDuplicates) != 0 && (flags & kRepeatingDuplicates) == 0;
}
}  // namespace key_flags

// Extended key types (segment spec +0x1C, with key_flags::kExtendedType).
namespace key_types {
inline constexpr std::uint8_t kString = 0;
inline constexpr std::uint8_t kInteger = 1;
inline constexpr std::uint8_t kFloat = 2;
inline constexpr std::uint8_t kDate = 3;
inline constexpr std::uint8_t kTime = 4;
inline constexpr std::uint8_t kDecimal = 5;
inline constexpr std::uint8_t kMoney = 6;
inline constexpr std::uint8_t kLogical = 7;
inline constexpr std::uint8_t kNumeric = 8;
inline constexpr std::uint8_t kBFloat = 9;
inline constexpr std::uint8_t kLString = 10;
inline constexpr std::uint8_t kZString = 11;
inline constexpr std::uint8_t kUnsignedBinary = 14;
inline constexpr std::uint8_t kAutoIncrement = 15;
inline constexpr std::uint8_t kNumericSts = 17;  // sign trailing, separate
inline constexpr std::uint8_t kNumericSa = 18;   // sign overpunched, ASCII convention
inline constexpr std::uint8_t kCurrency = 19;
inline constexpr std::uint8_t kTimestamp = 20;
}  // namespace key_types

}  // namespace btrieve
