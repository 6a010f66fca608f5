// Writes genuine record files in the pre-6.0 and 6.x formats, with deliberate damage variants, for
// tests, benchmarks and the bundled sample libraries. Never linked into the viewer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace btrieve::writer {

enum class Format { kPre6, kV6 };

// Key flags as stored in a key segment descriptor of the FCR.
namespace key_flag {
// Linked duplicates: 8 pointer bytes per record.
inline constexpr std::uint16_t kDuplicates = 0x0001;
inline constexpr std::uint16_t kModifiable = 0x0002;
inline constexpr std::uint16_t kBinary = 0x0004;  // old-style binary (without kExtendedType)
inline constexpr std::uint16_t kNullAll = 0x0008;
// Set by the writer on all but a key's last segment.
inline constexpr std::uint16_t kSegmented = 0x0010;
inline constexpr std::uint16_t kAlternateCollation = 0x0020;
inline constexpr std::uint16_t kDescending = 0x0040;
inline constexpr std::uint16_t kRepeatingDuplicates = 0x0080;
inline constexpr std::uint16_t kExtendedType = 0x0100;
inline constexpr std::uint16_t kNullAny = 0x0200;
inline constexpr std::uint16_t kCaseInsensitive = 0x0400;
}  // namespace key_flag

// Extended key types (meaningful with key_flag::kExtendedType).
namespace key_type {
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
inline constexpr std::uint8_t kNumericSts = 17;
inline constexpr std::uint8_t kNumericSa = 18;
inline constexpr std::uint8_t kCurrency = 19;
inline constexpr std::uint8_t kTimestamp = 20;
}  // namespace key_type

// File flags as stored in the FCR.
namespace file_flag {
inline constexpr std::uint16_t kVariableLength = 0x0001;
inline constexpr std::uint16_t kBlankTruncation = 0x0002;
inline constexpr std::uint16_t kCompression = 0x0008;
inline constexpr std::uint16_t kKeyOnly = 0x0010;
}  // namespace file_flag

struct Segment {
  std::uint16_t offset = 0;  // 0-based offset of the segment in the record
  std::uint16_t length = 4;
  std::uint8_t type = key_type::kInteger;
  // The key's flags; kSegmented is managed by the writer.
  std::uint16_t flags = key_flag::kExtendedType;
  std::uint8_t nullValue = 0;
  // With key_flag::kAlternateCollation: the index of the file's collating sequence the segment uses
  // (FileSpec::collatingSequences).
  std::uint8_t collatingSequence = 0;
};

// An alternate collating sequence: its name (up to 8 bytes) and the table each byte is mapped
// through before key values are compared.
struct CollatingSequence {
  std::string name;
  std::array<std::uint8_t, 256> table{};
};

struct Key {
  std::vector<Segment> segments;
};

// Which of two copies (FCR in pages 0/1, PAT in a pair) is the stale one.
enum class StaleCopy { kFirst, kSecond };

struct FileSpec {
  Format format = Format::kV6;
  std::uint16_t pageSize = 4096;
  // Logical (fixed) record length. Records have exactly this size, except in a variable-length
  // file, where the bytes beyond it are the record's variable part.
  std::uint16_t recordLength = 0;
  std::vector<Key> keys;
  std::vector<std::vector<std::byte>> records;  // in insertion order, not necessarily key order
  // Written verbatim at FCR 0x106. kVariableLength also sets FCR 0x38 and gives every slot a
  // variable-part pointer: FF FF FF FF for a record without variable part, else the first of the
  // fragments on variable pages that hold it, chained in order.
  std::uint16_t fileFlags = 0;
  // Variable-length files: the most data bytes one fragment takes (0: as many as fit the page), so
  // that tests can spread short variable parts over several fragments and pages.
  std::uint16_t maxFragmentData = 0;
  // Alternate collating sequences for the segments that use one; pre-6.0 files hold at most one
  // (page 1), 6.x files one page each.
  std::vector<CollatingSequence> collatingSequences;
  std::uint16_t version = 0;  // 0: 4 for pre-6.0 (byte 7), 0x0600 for 6.x; else written as given

  // Deliberate variants. Defaults give the plain file of the format notes.
  StaleCopy staleFcr = StaleCopy::kSecond;  // 6.x: the FCR copy (page 0 or 1) that is stale
  StaleCopy stalePat = StaleCopy::kSecond;  // 6.x: the PAT copy of each pair that is stale
  bool staleCopiesDisagree = true;  // stale FCR says 0 records; stale PAT maps data to wrong pages
  int shadowPages = 0;    // 6.x: unreferenced stale copies of live data pages holding wrong records
  int freeSlotEvery = 0;  // 6.x: a free slot after every n-th used slot (0: none)
  // Pre-6.0: a deleted slot, on the deleted-record chain, after every n-th record (0: none).
  int deletedEvery = 0;
  int junkPages = 0;                  // unreferenced pages of junk appended at the end of the file
  bool reversePhysicalOrder = false;  // place records in slots in reverse insertion order
  // FCR record count to write instead of the true one.
  std::optional<std::uint32_t> recordCountOverride;
};

// Where the writer put things, so that tests can damage a file precisely.
// Pages are physical page numbers, offsets are byte offsets in the file.
struct Layout {
  std::uint32_t pageSize = 0;
  std::uint16_t physicalRecordLength = 0;
  std::uint32_t pageCount = 0;  // pages before any junk pages
  std::uint32_t currentFcrPage = 0;
  std::uint32_t staleFcrPage = 0;  // 6.x only
  // 6.x: physical page of the current PAT copy of each pair.
  std::vector<std::uint32_t> currentPatPages;
  std::vector<std::uint32_t> stalePatPages;  // 6.x: the other copy of each pair
  std::vector<std::uint32_t> indexPages;     // root index page of each key
  std::vector<std::uint32_t> dataPages;      // physical pages of the live data pages, in file order
  std::vector<std::uint32_t> shadowPages;    // physical pages of the stale shadow copies
  // Per record, in insertion order: the file offset of its slot, and its record address (what
  // duplicate pointers and index entries hold: pre-6.0 the file offset, 6.x logical page * P +
  // offset).
  std::vector<std::size_t> recordSlots;
  std::vector<std::uint32_t> recordAddresses;
  std::vector<std::size_t> freeSlots;     // 6.x: file offsets of the free slots, in chain order
  std::vector<std::size_t> deletedSlots;  // pre-6.0: file offsets of the deleted slots, chain order
  // Variable-length files: physical pages of the variable pages, in file order, and per record (in
  // insertion order) the fragments of its variable part in chain order (empty: no variable part).
  struct Fragment {
    std::uint32_t page = 0;  // physical page
    std::uint8_t index = 0;  // in the page's fragment table
    std::size_t offset = 0;  // file offset of the fragment (its next pointer, where it has one)
  };
  std::vector<std::uint32_t> variablePages;
  std::vector<std::vector<Fragment>> recordFragments;
  std::vector<std::uint32_t> collationPages;  // physical page of each collating sequence
};

struct BuiltFile {
  std::vector<std::byte> bytes;
  Layout layout;
};

// Builds the file image. Throws std::invalid_argument when the file cannot be written as described:
// a page size that is not a multiple of 512 up to 4096, a record of the wrong size, a slot the page
// cannot hold, a key segment outside the record, key descriptors that overflow the FCR page, a
// segment naming a collating sequence the file does not have, or a variant that the format does
// not have (shadow pages or free slots in pre-6.0, a deleted chain in 6.x, several collating
// sequences in pre-6.0).
[[nodiscard]] BuiltFile Build(const FileSpec& file);

// Writes bytes to path, replacing the file. Throws std::runtime_error on failure.
void WriteFile(const std::filesystem::path& path, const std::vector<std::byte>& bytes);

// The description of a library-style file: fixed records of recordLength bytes with one unique
// 4-byte INTEGER key 0 at keyOffset.
[[nodiscard]] FileSpec LibrarySpec(Format format, std::uint16_t pageSize,
                                   std::uint16_t recordLength, std::uint16_t keyOffset,
                                   std::vector<std::vector<std::byte>> records = {});

}  // namespace btrieve::writer
