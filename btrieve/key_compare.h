// Key definitions as read from the FCR, and the ordering of key values: per segment by its type and
// direction, segments left to right. Records whose key is null are left out of that key's order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace btrieve {

// How a segment's bytes are ordered. kLengthPrefixed: the first byte holds the length of the text
// that follows. kUnsupported: a type (or a collating sequence on a type that has none, or a length
// the type cannot have) this reader cannot order; Get operations on the key answer 41.
//
// The orders from kMagnitude on compare the segment's normalised form (WriteNormalised) as bytes:
// kMagnitude the absolute value of a little-endian signed number (AUTOINCREMENT); kFloat an IEEE
// binary32/64; kBFloat the Microsoft binary format; kPackedDecimal packed BCD with the sign in the
// last nibble (DECIMAL, MONEY); kOverpunched ASCII digits with an EBCDIC-style sign letter in the
// last byte (NUMERIC); kOverpunchedAscii the same with the ASCII convention (NUMERICSA);
// kTrailingSign ASCII digits and a last byte '+' or '-' (NUMERICSTS).
enum class SegmentOrder {
  kBytes,
  kZeroTerminated,
  kLengthPrefixed,
  kSigned,
  kUnsigned,
  kMagnitude,
  kFloat,
  kBFloat,
  kPackedDecimal,
  kOverpunched,
  kOverpunchedAscii,
  kTrailingSign,
  kUnsupported
};

// What text bytes pass through before they are compared: nothing, the a-z to A-Z folding of a
// case-insensitive key, or the table of an alternate collating sequence (ACS) kept in the file.
enum class Collation { kNone, kCaseInsensitive, kAlternate };

using CollationTable = std::array<std::uint8_t, 256>;

struct SegmentSpec {
  std::uint32_t recordOffset = 0;  // 0-based offset of the segment inside the record data
  std::uint16_t length = 0;
  std::uint16_t flags = 0;  // as stored, per segment
  std::uint8_t type = 0;    // extended type as stored
  std::uint8_t nullValue = 0;
  SegmentOrder order = SegmentOrder::kBytes;
  Collation collation = Collation::kNone;
  std::uint32_t collationPage = 0;  // 6.x: the logical page of the segment's ACS, as stored
  // The table text bytes are mapped through; set for every segment whose collation is not kNone
  // once the file's ACS pages are read (left empty when the ACS cannot be found).
  std::shared_ptr<const CollationTable> table;
  bool descending = false;
};

struct KeySpec {
  std::vector<SegmentSpec> segments;
  std::uint16_t flags = 0;                   // the first segment's flags: duplicates and null rules
  std::uint32_t uniqueCount = 0;             // as stored in the first segment
  std::uint32_t length = 0;                  // sum of the segment lengths: the key value's size
  std::uint32_t duplicatePointerOffset = 0;  // slot offset of (previous, next); 0 = not linked
  std::uint32_t specOffset = 0;              // where the first segment's spec lies in the FCR page
  bool comparable = true;                    // false when any segment is kUnsupported
  bool collationMissing = false;             // an ACS a segment names is not in the file (damage)
};

// Classifies a segment from its stored flags, type and length. A collation applies to text types
// only (STRING, ZSTRING, LSTRING and old-style strings); on any other type the segment is
// kUnsupported, as is a length its type cannot have.
[[nodiscard]] SegmentOrder ClassifySegment(std::uint16_t flags, std::uint8_t type,
                                           std::uint16_t length);

// Whether `order` is compared through the segment's normalised form.
[[nodiscard]] constexpr bool IsNormalised(SegmentOrder order) {
  return order >= SegmentOrder::kMagnitude && order < SegmentOrder::kUnsupported;
}

// The size of the normalised form of a segment of `length` bytes ordered by `order` (one of the
// IsNormalised orders; ClassifySegment admits lengths up to 64, so the form is at most
// kMaxNormalisedWidth bytes).
[[nodiscard]] std::size_t NormalisedWidth(SegmentOrder order, std::size_t length);
inline constexpr std::size_t kMaxNormalisedWidth = 129;

// Writes the normalised form of the segment bytes `bytes` into out[0, NormalisedWidth): a string
// that compares with memcmp as the values compare (ascending; a descending segment inverts it
// afterwards). Equal forms are equal values: -0 and +0 of every numeric type are one value.
void WriteNormalised(SegmentOrder order, std::span<const std::byte> bytes, std::uint8_t* out);

// The collation a segment's flags ask for: 0x20 an ACS (with 0x400 a numbered or named one), else
// 0x400 case-insensitive.
[[nodiscard]] Collation CollationOf(std::uint16_t flags);

// The table of a case-insensitive key: a-z map onto A-Z, every other byte onto itself.
[[nodiscard]] std::shared_ptr<const CollationTable> CaseInsensitiveTable();

// Compares one key value taken from record data with another; `left`/`right` are record data (the
// segments are taken at their record offsets). Returns <0, 0 or >0. Spans must hold the whole
// record.
[[nodiscard]] int CompareRecordKeys(const KeySpec& key, std::span<const std::byte> left,
                                    std::span<const std::byte> right);

// Compares the key of a record with a key value laid out as the key buffer holds it (segments
// concatenated, key.length bytes).
[[nodiscard]] int CompareRecordWithValue(const KeySpec& key, std::span<const std::byte> record,
                                         std::span<const std::byte> value);

// Compares two key values laid out as the key buffer holds them (key.length bytes each).
[[nodiscard]] int CompareKeyValues(const KeySpec& key, std::span<const std::byte> left,
                                   std::span<const std::byte> right);

// True when the record's key is null under the key's rules (0x08: every segment consists of its
// null value; 0x200: at least one segment does), so the record is not in that key's order.
[[nodiscard]] bool IsNullKey(const KeySpec& key, std::span<const std::byte> record);

// Copies the record's key value (segments concatenated) into `out`, which holds key.length bytes.
void ExtractKey(const KeySpec& key, std::span<const std::byte> record, std::span<std::byte> out);

}  // namespace btrieve
