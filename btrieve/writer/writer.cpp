// Builds record-file images byte by byte: page allocation, slots, duplicate chains, single-leaf
// index roots, FCR and PAT copies, and the deliberate damage variants that the tests ask for.
#include "btrieve/writer/writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>

#include "btrieve/format_constants.h"

namespace btrieve::writer {
namespace {

using Image = std::vector<std::byte>;
using KeyBytes = std::vector<std::byte>;

constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr std::size_t kKeyTableStart = 0x110;
constexpr std::size_t kSegmentEntrySize = 30;
constexpr std::size_t kKatOffset4096 = 0x0F10;
constexpr std::uint32_t kDataPageHeader = 6;
// Index pages: own page number, usage, entry count, the child after the last entry at 8, then
// from 12 the entries, each the child before it, the key bytes and the record address(es).
constexpr std::uint32_t kIndexPageHeader = 12;
constexpr std::uint32_t kIndexLastChild = 8;
constexpr std::uint8_t kDataPageType = 0x44;       // "D"
constexpr std::uint8_t kVariablePageType = 0x56;   // "V"
constexpr std::uint8_t kCollationPageType = 0x41;  // "A"
constexpr std::uint8_t kCollationMarker = 0xAC;
constexpr std::uint32_t kVariablePageHeader = 12;
constexpr std::uint32_t kPointerSize = 4;
constexpr std::uint8_t kMaxFragmentIndex = 254;
constexpr std::uint16_t kChainedFragment = 0x8000;  // pre-6.0 table entry: starts with a pointer
constexpr std::uint8_t kIndexPageType = 0x80;       // + key number
constexpr std::uint16_t kDataPageUsage = 0x8001;
constexpr std::uint16_t kShadowPageUsage = 0x8002;  // newer-looking than the live page on purpose
constexpr std::uint32_t kCurrentUsage = 2;
constexpr std::uint32_t kStaleUsage = 1;

// Encoders.

void Put8(Image& image, std::size_t at, std::uint8_t value) {
  image.at(at) = std::byte{value};
}

void Put16(Image& image, std::size_t at, std::uint16_t value) {
  Put8(image, at, static_cast<std::uint8_t>(value & 0xFF));
  Put8(image, at + 1, static_cast<std::uint8_t>(value >> 8));
}

void Put32(Image& image, std::size_t at, std::uint32_t value) {
  Put16(image, at, static_cast<std::uint16_t>(value & 0xFFFF));
  Put16(image, at + 2, static_cast<std::uint16_t>(value >> 16));
}

// Word-swapped 32-bit value: high word first, each word little-endian.
void PutWs32(Image& image, std::size_t at, std::uint32_t value) {
  Put16(image, at, static_cast<std::uint16_t>(value >> 16));
  Put16(image, at + 2, static_cast<std::uint16_t>(value & 0xFFFF));
}

// 6.x page reference: bits 16-23 of the page, the page type, then bits 0-15 little-endian.
void PutPref(Image& image, std::size_t at, std::uint8_t type, std::uint32_t page) {
  Put8(image, at, static_cast<std::uint8_t>((page >> 16) & 0xFF));
  Put8(image, at + 1, type);
  Put16(image, at + 2, static_cast<std::uint16_t>(page & 0xFFFF));
}

void Fill(Image& image, std::size_t at, std::size_t count, std::uint8_t value) {
  if (at + count > image.size()) throw std::logic_error("writer: fill past the image");
  std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(at), count, std::byte{value});
}

void PutBytes(Image& image, std::size_t at, const std::vector<std::byte>& bytes) {
  if (at + bytes.size() > image.size()) throw std::logic_error("writer: copy past the image");
  std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
}

// Non-zero filler for deleted slots and junk pages, varied so that it never looks like a constant.
std::uint8_t JunkByte(std::size_t index) {
  return static_cast<std::uint8_t>(0x21 + (index * 7) % 0x5D);
}

// Key values: extraction, null test and index order.

bool IsLinkedDuplicate(std::uint16_t flags) {
  return btrieve::key_flags::LinksDuplicates(flags);
}

KeyBytes ExtractKey(const Key& key, const std::vector<std::byte>& record) {
  KeyBytes bytes;
  for (const Segment& segment : key.segments) {
    bytes.insert(bytes.end(), record.begin() + segment.offset,
                 record.begin() + segment.offset + segment.length);
  }
  return bytes;
}

// A record whose key holds the null value is left out of that key's index.
bool IsNullKey(const Key& key, const std::vector<std::byte>& record) {
  const std::uint16_t flags = key.segments.front().flags;
  const bool all = (flags & key_flag::kNullAll) != 0;
  const bool any = (flags & key_flag::kNullAny) != 0;
  if (!all && !any) return false;
  bool everySegmentNull = true;
  for (const Segment& segment : key.segments) {
    bool segmentNull = true;
    for (std::uint16_t i = 0; i < segment.length; ++i) {
      if (record[segment.offset + i] != std::byte{segment.nullValue}) segmentNull = false;
    }
    if (any && segmentNull) return true;
    everySegmentNull = everySegmentNull && segmentNull;
  }
  return all && everySegmentNull;
}

int CompareUnsignedLe(const std::byte* a, const std::byte* b, std::size_t length) {
  for (std::size_t i = length; i-- > 0;) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

int CompareSignedLe(const std::byte* a, const std::byte* b, std::size_t length) {
  const auto topA = static_cast<std::int8_t>(a[length - 1]);
  const auto topB = static_cast<std::int8_t>(b[length - 1]);
  if (topA != topB) return topA < topB ? -1 : 1;
  return CompareUnsignedLe(a, b, length - 1);
}

int CompareFloat(const std::byte* a, const std::byte* b, std::size_t length) {
  double x = 0;
  double y = 0;
  if (length == 4) {
    float fx = 0;
    float fy = 0;
    std::memcpy(&fx, a, 4);
    std::memcpy(&fy, b, 4);
    x = fx;
    y = fy;
  } else if (length == 8) {
    std::memcpy(&x, a, 8);
    std::memcpy(&y, b, 8);
  } else {
    return CompareUnsignedLe(a, b, length);
  }
  // NaNs: those with the sign bit clear above +infinity, the others below -infinity; among each
  // other by their bits (the larger ones further out).
  const auto side = [](double v) { return !std::isnan(v) ? 0 : (std::signbit(v) ? -1 : 1); };
  if (side(x) != side(y)) return side(x) < side(y) ? -1 : 1;
  if (side(x) != 0) return side(x) * CompareUnsignedLe(a, b, length);
  return x < y ? -1 : (x > y ? 1 : 0);
}

// AUTOINCREMENT: by absolute value.
int CompareMagnitude(const std::byte* a, const std::byte* b, std::size_t length) {
  const auto magnitude = [length](const std::byte* v) {
    std::uint64_t value = 0;
    for (std::size_t i = length; i-- > 0;)
      value = (value << 8) | std::to_integer<std::uint64_t>(v[i]);
    const std::uint64_t sign = std::uint64_t{1} << (8 * length - 1);
    if ((value & sign) == 0) return value;
    const std::uint64_t mask = length == 8 ? ~std::uint64_t{0} : (sign << 1) - 1;
    return (~value + 1) & mask;
  };
  const std::uint64_t x = magnitude(a);
  const std::uint64_t y = magnitude(b);
  return x == y ? 0 : (x < y ? -1 : 1);
}

// BFLOAT (Microsoft binary format): exponent in the last byte (0: the value is zero), the sign in
// bit 7 of the byte before it, the mantissa below with an implied leading one.
int CompareBFloat(const std::byte* a, const std::byte* b, std::size_t length) {
  const auto value = [length](const std::byte* v) -> long double {
    const unsigned exponent = std::to_integer<unsigned>(v[length - 1]);
    if (exponent == 0) return 0;
    long double mantissa = std::to_integer<unsigned>(v[length - 2] & std::byte{0x7F}) | 0x80U;
    for (std::size_t i = length - 2; i-- > 0;)
      mantissa = mantissa * 256 + std::to_integer<unsigned>(v[i]);
    const long double magnitude =
        std::ldexp(mantissa, static_cast<int>(exponent) - 128 - 8 * static_cast<int>(length - 1));
    return (v[length - 2] & std::byte{0x80}) != std::byte{0} ? -magnitude : magnitude;
  };
  const long double x = value(a);
  const long double y = value(b);
  return x < y ? -1 : (x > y ? 1 : 0);
}

// A decimal number as its sign and digits (one value per digit position, same count on both sides
// of a comparison). Digit positions that hold no digit count above 9, as their byte (or nibble).
struct Decimal {
  bool negative = false;
  std::vector<unsigned> digits;
};

int CompareDecimal(Decimal x, Decimal y) {
  const auto zero = [](const Decimal& d) {
    return std::all_of(d.digits.begin(), d.digits.end(), [](unsigned v) { return v == 0; });
  };
  if (zero(x)) x.negative = false;
  if (zero(y)) y.negative = false;
  if (x.negative != y.negative) return x.negative ? -1 : 1;
  const int order = x.digits < y.digits ? -1 : (x.digits > y.digits ? 1 : 0);
  return x.negative ? -order : order;
}

unsigned ZonedDigit(std::byte b) {
  const auto c = std::to_integer<unsigned>(b);
  if (c >= '0' && c <= '9') return c - '0';
  if (c == ' ') return 0;
  return c < '0' ? c + 10 : c;
}

// DECIMAL, MONEY (packed: two digits a byte, the sign in the last nibble, D or B negative) and the
// zoned NUMERIC (overpunched last byte: { A-I positive, } J-R negative), NUMERICSA (p-y negative)
// and NUMERICSTS (a separate trailing '+' or '-').
Decimal DecodeDecimal(std::uint8_t type, const std::byte* v, std::size_t length) {
  Decimal d;
  if (type == key_type::kDecimal || type == key_type::kMoney) {
    for (std::size_t i = 0; i < 2 * length - 1; ++i) {
      const auto byte = std::to_integer<unsigned>(v[i / 2]);
      d.digits.push_back(i % 2 == 0 ? byte >> 4 : byte & 0x0F);
    }
    const unsigned sign = std::to_integer<unsigned>(v[length - 1]) & 0x0F;
    d.negative = sign == 0x0D || sign == 0x0B;
    return d;
  }
  for (std::size_t i = 0; i + 1 < length; ++i)
    d.digits.push_back(ZonedDigit(v[i]));
  const auto last = std::to_integer<unsigned>(v[length - 1]);
  if (type == key_type::kNumericSts) {
    d.negative = last == '-';
  } else if (type == key_type::kNumeric && (last == '{' || last == '}')) {
    d.digits.push_back(0);
    d.negative = last == '}';
  } else if (type == key_type::kNumeric && last >= 'A' && last <= 'R') {
    d.digits.push_back(last <= 'I' ? last - 'A' + 1 : last - 'J' + 1);
    d.negative = last > 'I';
  } else if (type == key_type::kNumericSa && last >= 'p' && last <= 'y') {
    d.digits.push_back(last - 'p');
    d.negative = true;
  } else {
    d.digits.push_back(ZonedDigit(v[length - 1]));
  }
  return d;
}

// Text bytes compare after mapping through the collating sequence, or after folding a-z onto A-Z.
struct TextRule {
  bool caseInsensitive = false;
  const std::array<std::uint8_t, 256>* table = nullptr;

  [[nodiscard]] unsigned Map(std::byte b) const {
    auto x = static_cast<unsigned char>(b);
    if (table != nullptr) return (*table)[x];
    if (caseInsensitive && x >= 'a' && x <= 'z') return x - 32U;
    return x;
  }
};

// Byte strings of lengths la and lb; a shorter one that is a prefix of the other comes first.
int CompareMapped(const std::byte* a, std::size_t la, const std::byte* b, std::size_t lb,
                  const TextRule& rule) {
  for (std::size_t i = 0; i < std::min(la, lb); ++i) {
    const unsigned x = rule.Map(a[i]);
    const unsigned y = rule.Map(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (la == lb) return 0;
  return la < lb ? -1 : 1;
}

std::size_t ZeroTerminatedLength(const std::byte* text, std::size_t room) {
  std::size_t length = 0;
  while (length < room && text[length] != std::byte{0})
    ++length;
  return length;
}

int CompareText(const std::byte* a, const std::byte* b, std::size_t length, bool stopAtZero,
                const TextRule& rule) {
  if (!stopAtZero) return CompareMapped(a, length, b, length, rule);
  return CompareMapped(a, ZeroTerminatedLength(a, length), b, ZeroTerminatedLength(b, length),
                       rule);
}

// LSTRING: the first byte counts the text bytes after it.
int CompareLengthPrefixed(const std::byte* a, const std::byte* b, std::size_t length,
                          const TextRule& rule) {
  const std::size_t la = std::min<std::size_t>(static_cast<unsigned char>(a[0]), length - 1);
  const std::size_t lb = std::min<std::size_t>(static_cast<unsigned char>(b[0]), length - 1);
  return CompareMapped(a + 1, la, b + 1, lb, rule);
}

// Orders two extracted key values the way the index does: by each type's value, decoded here on
// its own (not through the reader's byte-comparable forms), so that the reader's order can be
// checked against the index of a written file.
int CompareKeys(const Key& key, const std::vector<CollatingSequence>& sequences, const KeyBytes& a,
                const KeyBytes& b) {
  std::size_t at = 0;
  for (const Segment& segment : key.segments) {
    const std::byte* x = a.data() + at;
    const std::byte* y = b.data() + at;
    const std::size_t n = segment.length;
    at += n;
    int order = 0;
    const bool extended = (segment.flags & key_flag::kExtendedType) != 0;
    TextRule rule;
    if ((segment.flags & key_flag::kAlternateCollation) != 0) {
      rule.table = &sequences.at(segment.collatingSequence).table;
    } else {
      rule.caseInsensitive = (segment.flags & key_flag::kCaseInsensitive) != 0;
    }
    if (!extended) {
      order = (segment.flags & key_flag::kBinary) != 0 ? CompareUnsignedLe(x, y, n)
                                                       : CompareText(x, y, n, false, rule);
    } else {
      switch (segment.type) {
        case key_type::kInteger:
        case key_type::kCurrency:
          order = CompareSignedLe(x, y, n);
          break;
        case key_type::kAutoIncrement:
          order = CompareMagnitude(x, y, n);
          break;
        case key_type::kUnsignedBinary:
        case key_type::kDate:
        case key_type::kTime:
        case key_type::kTimestamp:
          order = CompareUnsignedLe(x, y, n);
          break;
        case key_type::kFloat:
          order = CompareFloat(x, y, n);
          break;
        case key_type::kBFloat:
          order = CompareBFloat(x, y, n);
          break;
        case key_type::kDecimal:
        case key_type::kMoney:
        case key_type::kNumeric:
        case key_type::kNumericSa:
        case key_type::kNumericSts:
          order =
              CompareDecimal(DecodeDecimal(segment.type, x, n), DecodeDecimal(segment.type, y, n));
          break;
        case key_type::kZString:
          order = CompareText(x, y, n, true, rule);
          break;
        case key_type::kLString:
          order = CompareLengthPrefixed(x, y, n, rule);
          break;
        default:
          order = CompareText(x, y, n, false, rule);
          break;
      }
    }
    if ((segment.flags & key_flag::kDescending) != 0) order = -order;
    if (order != 0) return order;
  }
  return 0;
}

// The file being built.

struct KeyPlan {
  std::uint16_t totalLength = 0;
  bool linked = false;
  std::uint16_t pointerOffset = 0;  // slot offset of the (previous, next) pair; 0 if not linked
  std::uint16_t entrySize = 0;
  std::uint16_t maxEntries = 0;
  std::uint32_t uniqueValues = 0;
  std::size_t entryOffset = 0;          // offset of the first segment descriptor in the FCR page
  std::vector<KeyBytes> values;         // per record
  std::vector<std::uint32_t> previous;  // per record: duplicate chain, record addresses
  std::vector<std::uint32_t> next;
  // The index: its entries in key order (linked duplicates share one, naming the first and last
  // record of their chain), and the B-tree nodes that hold them, node 0 the root.
  struct Entry {
    std::size_t first = 0;  // records
    std::size_t last = 0;
  };
  struct Node {
    std::vector<std::size_t> entries;   // into `entries`, in order
    std::vector<std::size_t> children;  // into `nodes`: one more than entries, or none (a leaf)
    std::uint32_t physical = 0;
    std::uint32_t logical = 0;
  };
  std::vector<Entry> entries;
  std::vector<Node> nodes;
};

enum class SlotKind { kRecord, kFree, kDeleted };

struct Slot {
  SlotKind kind = SlotKind::kRecord;
  std::size_t record = 0;  // for kRecord
  std::size_t offset = 0;  // in the file
  std::uint32_t address = 0;
};

[[noreturn]] void Invalid(const std::string& what) {
  throw std::invalid_argument("writer: " + what);
}

void ValidateDescription(const FileSpec& file) {
  const bool v6 = file.format == Format::kV6;
  if (file.pageSize < 512 || file.pageSize > 4096 || file.pageSize % 512 != 0) {
    Invalid("page size must be a multiple of 512 up to 4096");
  }
  if (file.recordLength == 0) Invalid("record length must be at least 1");
  const bool variable = (file.fileFlags & file_flag::kVariableLength) != 0;
  for (std::size_t i = 0; i < file.records.size(); ++i) {
    const std::size_t size = file.records[i].size();
    if (variable ? size < file.recordLength : size != file.recordLength) {
      Invalid("record " + std::to_string(i) + " is not recordLength bytes long");
    }
  }
  if (!v6 && file.collatingSequences.size() > 1) {
    Invalid("a pre-6.0 file holds at most one collating sequence");
  }
  for (std::size_t k = 0; k < file.keys.size(); ++k) {
    const Key& key = file.keys[k];
    if (key.segments.empty()) Invalid("key " + std::to_string(k) + " has no segment");
    std::size_t total = 0;
    for (const Segment& segment : key.segments) {
      if (segment.length == 0 ||
          static_cast<std::size_t>(segment.offset) + segment.length > file.recordLength) {
        Invalid("a segment of key " + std::to_string(k) + " lies outside the record");
      }
      if ((segment.flags & key_flag::kAlternateCollation) != 0 &&
          segment.collatingSequence >= file.collatingSequences.size()) {
        Invalid("a segment of key " + std::to_string(k) + " names a missing collating sequence");
      }
      total += segment.length;
    }
    if (total > 255) Invalid("key " + std::to_string(k) + " is longer than 255 bytes");
  }
  if (file.shadowPages < 0 || file.freeSlotEvery < 0 || file.deletedEvery < 0 ||
      file.junkPages < 0) {
    Invalid("variant counts must not be negative");
  }
  if (!v6 && (file.shadowPages > 0 || file.freeSlotEvery > 0)) {
    Invalid("shadow pages and free slots exist only in 6.x files");
  }
  if (v6 && file.deletedEvery > 0) Invalid("the deleted-record chain exists only in pre-6.0 files");
}

// Builds one file in steps: plan the slot and the FCR, place the slots, allocate pages, then write
// each kind of page. Pre-6.0: FCR, one index page per key, data pages, all addressed physically.
// 6.x: two FCRs, PAT pairs at 2 + j * (P / 4), logical pages 1..K for the index pages, then the
// data pages, then the shadows.
class FileBuilder {
 public:
  explicit FileBuilder(const FileSpec& file)
      : m_file(file),
        m_v6(file.format == Format::kV6),
        m_pageSize(file.pageSize),
        m_dataStart(m_v6 ? 2 : 0),
        m_variable((file.fileFlags & file_flag::kVariableLength) != 0) {}

  BuiltFile Build() {
    ValidateDescription(m_file);
    PlanKeys();
    PlanFcrRoom();
    PlaceSlots();
    PlanIndexes();
    PlanVariableParts();
    AllocatePages();
    LocateSlots();
    ChainDuplicates();
    WriteDataPages();
    WriteVariablePages();
    WriteCollationPages();
    WriteIndexPages();
    WriteFcrs();
    if (m_v6) {
      WriteShadowPages();
      WritePats();
    }
    WriteJunkPages();
    return std::move(m_built);
  }

 private:
  struct FragmentPlan {
    std::size_t record = 0;
    std::size_t dataBegin = 0;  // in the record
    std::size_t dataLength = 0;
    std::size_t size = 0;  // on the page, pointer included
    bool chained = false;  // starts with a next pointer
  };
  struct VariablePagePlan {
    std::vector<FragmentPlan> fragments;
    std::size_t used = 0;  // fragment bytes
    std::uint32_t physical = 0;
    std::uint32_t logical = 0;
  };
  struct FragmentRef {
    std::size_t page = 0;  // into m_variablePages
    std::size_t index = 0;
  };

  std::size_t PageOffset(std::uint32_t page) const {
    return static_cast<std::size_t>(page) * m_pageSize;
  }

  // Slot: [usage count (6.x)] data [variable-part pointer] [(previous, next) per linked key].
  void PlanKeys() {
    m_keys.resize(m_file.keys.size());
    m_physical = m_dataStart + m_file.recordLength + (m_variable ? 4 : 0);
    for (std::size_t k = 0; k < m_keys.size(); ++k) {
      KeyPlan& plan = m_keys[k];
      const Key& key = m_file.keys[k];
      plan.entryOffset = kKeyTableStart + kSegmentEntrySize * m_segmentCount;
      m_segmentCount += key.segments.size();
      for (const Segment& segment : key.segments) {
        plan.totalLength = static_cast<std::uint16_t>(plan.totalLength + segment.length);
      }
      plan.linked = IsLinkedDuplicate(key.segments.front().flags);
      if (plan.linked) {
        plan.pointerOffset = static_cast<std::uint16_t>(m_physical);
        if (m_linkedCount == 0) m_firstPointerOffset = plan.pointerOffset;
        ++m_linkedCount;
        m_physical += 8;
      }
      // Index entry: child, key bytes, record address (first and last duplicate when linked).
      plan.entrySize = static_cast<std::uint16_t>(plan.totalLength + (plan.linked ? 12 : 8));
      plan.maxEntries =
          static_cast<std::uint16_t>((m_pageSize - kIndexPageHeader) / plan.entrySize);
      if (plan.maxEntries == 0) {
        Invalid("an index entry of key " + std::to_string(k) + " exceeds the page");
      }
    }
    if (m_physical > m_pageSize - kDataPageHeader) Invalid("the record slot does not fit a page");
    m_slotsPerPage = (m_pageSize - kDataPageHeader) / static_cast<std::uint32_t>(m_physical);
  }

  // Key segment descriptors from 0x110, then (6.x) the key attribute table.
  void PlanFcrRoom() {
    const std::size_t tableEnd = kKeyTableStart + kSegmentEntrySize * m_segmentCount;
    if (m_v6) {
      if (m_segmentCount > 255) Invalid("too many key segments");
      m_katOffset = m_pageSize == 4096 ? kKatOffset4096 : (tableEnd + 15) / 16 * 16;
      if (tableEnd > m_katOffset || m_katOffset + 2 * m_keys.size() > m_pageSize) {
        Invalid("the key descriptors overflow the FCR page");
      }
    } else if (tableEnd > m_pageSize) {
      Invalid("the key descriptors overflow the FCR page");
    }
  }

  // Records in placement order, with a free (6.x) or deleted (pre-6.0) slot after every n-th one
  // that is followed by another record.
  void PlaceSlots() {
    const std::size_t count = m_file.records.size();
    const auto every = static_cast<std::size_t>(m_v6 ? m_file.freeSlotEvery : m_file.deletedEvery);
    const SlotKind gap = m_v6 ? SlotKind::kFree : SlotKind::kDeleted;
    m_slots.reserve(count + (every > 0 ? count / every : 0));
    for (std::size_t placed = 0; placed < count; ++placed) {
      const std::size_t record = m_file.reversePhysicalOrder ? count - 1 - placed : placed;
      m_slots.push_back({SlotKind::kRecord, record, 0, 0});
      if (every > 0 && (placed + 1) % every == 0 && placed + 1 < count) {
        m_slots.push_back({gap, 0, 0, 0});
      }
    }
    m_dataPageCount = (m_slots.size() + m_slotsPerPage - 1) / m_slotsPerPage;
    if (m_file.shadowPages > 0 && m_dataPageCount == 0) {
      Invalid("shadow pages need at least one record");
    }
  }

  // Each key's index entries in key order (equal values in slot order, null keys left out) and a
  // B-tree of the fewest levels that holds them: a node's entries are separators between its
  // children, filled evenly.
  void PlanIndexes() {
    for (std::size_t k = 0; k < m_keys.size(); ++k) {
      KeyPlan& plan = m_keys[k];
      const Key& key = m_file.keys[k];
      std::vector<KeyBytes> values;
      values.reserve(m_file.records.size());
      for (const std::vector<std::byte>& record : m_file.records)
        values.push_back(ExtractKey(key, record));
      std::vector<std::size_t> order;
      for (const Slot& slot : m_slots) {
        if (slot.kind == SlotKind::kRecord && !IsNullKey(key, m_file.records[slot.record])) {
          order.push_back(slot.record);
        }
      }
      std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return CompareKeys(key, m_file.collatingSequences, values[a], values[b]) < 0;
      });
      plan.entries.clear();
      for (std::size_t i = 0; i < order.size(); ++i) {
        const std::size_t r = order[i];
        if (plan.linked && i > 0 &&
            CompareKeys(key, m_file.collatingSequences, values[order[i - 1]], values[r]) == 0) {
          // A chain runs in insertion order: from its lowest record number to its highest.
          plan.entries.back().first = std::min(plan.entries.back().first, r);
          plan.entries.back().last = std::max(plan.entries.back().last, r);
        } else {
          plan.entries.push_back({r, r});
        }
      }
      const std::size_t capacity = plan.maxEntries;
      unsigned height = 1;
      for (std::size_t held = capacity; held < plan.entries.size(); ++height)
        held = (held + 1) * (capacity + 1) - 1;
      plan.nodes.clear();
      BuildIndexNode(plan, 0, plan.entries.size(), height);
    }
  }

  // The node holding entries [begin, end) in a subtree of `height` levels; its index in nodes.
  std::size_t BuildIndexNode(KeyPlan& plan, std::size_t begin, std::size_t end, unsigned height) {
    const std::size_t node = plan.nodes.size();
    plan.nodes.emplace_back();
    const std::size_t count = end - begin;
    if (height <= 1) {
      for (std::size_t e = begin; e < end; ++e)
        plan.nodes[node].entries.push_back(e);
      return node;
    }
    std::size_t below = plan.maxEntries;  // what a subtree of height - 1 holds
    for (unsigned h = 2; h < height; ++h)
      below = (below + 1) * (plan.maxEntries + 1) - 1;
    const std::size_t children = (count + 1 + below) / (below + 1);
    const std::size_t spread = count - (children - 1);
    std::size_t at = begin;
    for (std::size_t c = 0; c < children; ++c) {
      const std::size_t size = spread / children + (c < spread % children ? 1 : 0);
      const std::size_t child = BuildIndexNode(plan, at, at + size, height - 1);
      plan.nodes[node].children.push_back(child);
      at += size;
      if (c + 1 < children) plan.nodes[node].entries.push_back(at++);
    }
    return node;
  }

  // Splits each variable part into fragments, filling variable pages one after the other: a
  // fragment takes what the page still holds (at most maxFragmentData bytes) and, unless it is the
  // last of its record, starts with the pointer to the next one (6.x: every fragment does).
  void PlanVariableParts() {
    if (!m_variable) return;
    m_recordFragments.assign(m_file.records.size(), {});
    const std::size_t limit = m_file.maxFragmentData != 0 ? m_file.maxFragmentData : SIZE_MAX;
    for (const Slot& slot : m_slots) {
      if (slot.kind != SlotKind::kRecord) continue;
      const std::vector<std::byte>& record = m_file.records[slot.record];
      std::size_t at = m_file.recordLength;
      while (at < record.size()) {
        if (m_variablePages.empty() ||
            m_variablePages.back().fragments.size() > kMaxFragmentIndex) {
          m_variablePages.emplace_back();
        }
        VariablePagePlan& page = m_variablePages.back();
        // Room for one more fragment: the table then has two more entries than fragments now.
        const std::size_t tableAfter = 2 * (page.fragments.size() + 2);
        const std::size_t used = kVariablePageHeader + page.used + tableAfter;
        const std::size_t room = m_pageSize > used ? m_pageSize - used : 0;
        const std::size_t remaining = record.size() - at;
        const std::size_t lastNeed = remaining + (m_v6 ? kPointerSize : 0);
        FragmentPlan fragment;
        fragment.record = slot.record;
        fragment.dataBegin = at;
        if (lastNeed <= room && remaining <= limit) {
          fragment.dataLength = remaining;
          fragment.chained = m_v6;
        } else if (room > kPointerSize) {
          fragment.dataLength = std::min({room - kPointerSize, limit, remaining});
          fragment.chained = true;
        } else {
          m_variablePages.emplace_back();
          continue;
        }
        fragment.size = fragment.dataLength + (fragment.chained ? kPointerSize : 0);
        page.used += fragment.size;
        m_recordFragments[slot.record].push_back(
            {m_variablePages.size() - 1, page.fragments.size()});
        page.fragments.push_back(fragment);
        at += fragment.dataLength;
      }
    }
  }

  std::uint32_t AllocatePhysical() {
    if (m_v6 && m_nextPhysical == 2 + m_patPairs * (m_pageSize / 4)) {
      m_nextPhysical += 2;  // the next PAT pair's place
      ++m_patPairs;
    }
    return m_nextPhysical++;
  }

  // Pre-6.0: the collating sequence in page 1, then index, data and variable pages. 6.x: logical
  // pages for the index pages, the collating sequences, the data pages and the variable pages.
  void AllocatePages() {
    m_nextPhysical = m_v6 ? 4 : 1;
    std::uint32_t nextLogical = 1;
    const auto place = [&](std::uint8_t type) {
      const std::uint32_t physical = AllocatePhysical();
      const std::uint32_t logical = m_v6 ? nextLogical++ : physical;
      if (m_v6) m_logicalPages.push_back({type, physical});
      return std::pair(physical, logical);
    };
    if (!m_v6) {
      for (std::size_t a = 0; a < m_file.collatingSequences.size(); ++a) {
        m_collationPhysical.push_back(AllocatePhysical());
        m_collationLogical.push_back(m_collationPhysical.back());
      }
    }
    for (std::size_t k = 0; k < m_keys.size(); ++k) {
      for (KeyPlan::Node& node : m_keys[k].nodes) {
        std::tie(node.physical, node.logical) =
            place(static_cast<std::uint8_t>(kIndexPageType + k));
      }
      m_indexPhysical.push_back(m_keys[k].nodes.front().physical);
      m_indexLogical.push_back(m_keys[k].nodes.front().logical);
    }
    if (m_v6) {
      for (std::size_t a = 0; a < m_file.collatingSequences.size(); ++a) {
        const auto [physical, logical] = place(kCollationPageType);
        m_collationPhysical.push_back(physical);
        m_collationLogical.push_back(logical);
      }
    }
    for (std::size_t p = 0; p < m_dataPageCount; ++p) {
      const auto [physical, logical] = place(kDataPageType);
      m_dataPhysical.push_back(physical);
      m_dataLogical.push_back(logical);
    }
    for (std::size_t p = 0; p < m_variablePages.size(); ++p) {
      const auto [physical, logical] = place(kVariablePageType);
      m_variablePages[p].physical = physical;
      m_variablePages[p].logical = logical;
    }
    for (int s = 0; s < m_file.shadowPages; ++s)
      m_shadowPhysical.push_back(AllocatePhysical());
    m_pageCount = m_nextPhysical;
    m_highestLogical = m_v6 ? nextLogical - 1 : m_pageCount - 1;
    if (m_v6 && m_highestLogical > 0 && (m_highestLogical - 1) / EntriesPerPat() >= m_patPairs) {
      throw std::logic_error("writer: PAT pairs do not cover the logical pages");
    }
    const std::uint64_t totalPages =
        static_cast<std::uint64_t>(m_pageCount) + static_cast<std::uint64_t>(m_file.junkPages);
    if (totalPages * m_pageSize > 0xFFFFFFF0ULL || m_highestLogical >= 0xFFFFFF) {
      Invalid("the file would exceed the 32-bit address range");
    }

    m_image.assign(static_cast<std::size_t>(totalPages) * m_pageSize, std::byte{0});
    Layout& layout = m_built.layout;
    layout.pageSize = m_pageSize;
    layout.physicalRecordLength = static_cast<std::uint16_t>(m_physical);
    layout.pageCount = m_pageCount;
    layout.indexPages = m_indexPhysical;
    layout.dataPages = m_dataPhysical;
    layout.shadowPages = m_shadowPhysical;
    layout.collationPages = m_collationPhysical;
    for (const VariablePagePlan& page : m_variablePages)
      layout.variablePages.push_back(page.physical);
  }

  std::uint32_t EntriesPerPat() const { return m_pageSize / 4 - 2; }

  // Where every slot lands, and the record address that pointers and index entries use.
  void LocateSlots() {
    Layout& layout = m_built.layout;
    layout.recordSlots.assign(m_file.records.size(), 0);
    layout.recordAddresses.assign(m_file.records.size(), 0);
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
      Slot& slot = m_slots[i];
      const std::size_t page = i / m_slotsPerPage;
      const std::size_t inPage = kDataPageHeader + (i % m_slotsPerPage) * m_physical;
      slot.offset = PageOffset(m_dataPhysical[page]) + inPage;
      slot.address = static_cast<std::uint32_t>(
          static_cast<std::size_t>(m_v6 ? m_dataLogical[page] : m_dataPhysical[page]) * m_pageSize +
          inPage);
      if (slot.kind == SlotKind::kRecord) {
        layout.recordSlots[slot.record] = slot.offset;
        layout.recordAddresses[slot.record] = slot.address;
      } else if (slot.kind == SlotKind::kFree) {
        layout.freeSlots.push_back(slot.offset);
      } else {
        layout.deletedSlots.push_back(slot.offset);
      }
    }
  }

  // Key values, distinct counts and duplicate chains: insertion order, by equal key values, null
  // keys left out.
  void ChainDuplicates() {
    const std::vector<std::uint32_t>& addresses = m_built.layout.recordAddresses;
    const std::size_t count = m_file.records.size();
    for (std::size_t k = 0; k < m_keys.size(); ++k) {
      KeyPlan& plan = m_keys[k];
      // Values that the index orders as equal (a ZSTRING up to its zero byte) share one chain.
      const Key& key = m_file.keys[k];
      const auto less = [&](const KeyBytes& a, const KeyBytes& b) {
        return CompareKeys(key, m_file.collatingSequences, a, b) < 0;
      };
      std::map<KeyBytes, std::size_t, decltype(less)> lastWithValue(less);
      plan.values.reserve(count);
      plan.previous.assign(count, kNone);
      plan.next.assign(count, kNone);
      for (std::size_t r = 0; r < count; ++r) {
        plan.values.push_back(ExtractKey(m_file.keys[k], m_file.records[r]));
        // A null key is in no index: neither chained nor counted.
        if (IsNullKey(key, m_file.records[r])) continue;
        auto [it, inserted] = lastWithValue.try_emplace(plan.values.back(), r);
        if (!inserted) {
          plan.previous[r] = addresses[it->second];
          plan.next[it->second] = addresses[r];
          it->second = r;
        }
      }
      plan.uniqueValues = static_cast<std::uint32_t>(lastWithValue.size());
    }
  }

  void WriteDataPages() {
    for (std::size_t p = 0; p < m_dataPageCount; ++p) {
      const std::size_t at = PageOffset(m_dataPhysical[p]);
      if (m_v6) {
        PutPref(m_image, at, kDataPageType, m_dataLogical[p]);
      } else {
        PutWs32(m_image, at, m_dataPhysical[p]);
      }
      Put16(m_image, at + 4, kDataPageUsage);
    }
    std::size_t gapIndex = 0;
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
      const Slot& slot = m_slots[i];
      const std::size_t at = slot.offset;
      if (slot.kind == SlotKind::kRecord) {
        if (m_v6) Put16(m_image, at, 1);
        const std::vector<std::byte>& record = m_file.records[slot.record];
        PutBytes(m_image, at + m_dataStart,
                 std::vector<std::byte>(record.begin(), record.begin() + m_file.recordLength));
        if (m_variable) {
          const std::vector<FragmentRef>& chain = m_recordFragments[slot.record];
          PutPointer(at + m_dataStart + m_file.recordLength,
                     chain.empty() ? std::nullopt : std::optional(chain.front()));
        }
        for (const KeyPlan& plan : m_keys) {
          if (!plan.linked) continue;
          PutWs32(m_image, at + plan.pointerOffset, plan.previous[slot.record]);
          PutWs32(m_image, at + plan.pointerOffset + 4, plan.next[slot.record]);
        }
        continue;
      }
      // Free (6.x) and deleted (pre-6.0) slots are chained in file order.
      std::uint32_t following = kNone;
      for (std::size_t j = i + 1; j < m_slots.size(); ++j) {
        if (m_slots[j].kind == slot.kind) {
          following = m_v6 ? m_slots[j].address : static_cast<std::uint32_t>(m_slots[j].offset);
          break;
        }
      }
      if (slot.kind == SlotKind::kFree) {
        PutWs32(m_image, at + 2, following);
      } else {
        // What is left of the record that lived here: non-zero, so only the chain tells.
        PutWs32(m_image, at, following);
        for (std::size_t b = 4; b < m_physical; ++b)
          Put8(m_image, at + b, JunkByte(gapIndex + b));
      }
      ++gapIndex;
    }
  }

  // A variable-part pointer: page bits 16-23, bits 0-7, bits 8-15, then the fragment index;
  // FF FF FF FF for none.
  void PutPointer(std::size_t at, std::optional<FragmentRef> fragment) {
    if (!fragment) {
      Put32(m_image, at, kNone);
      return;
    }
    const std::uint32_t page =
        m_v6 ? m_variablePages[fragment->page].logical : m_variablePages[fragment->page].physical;
    Put8(m_image, at, static_cast<std::uint8_t>((page >> 16) & 0xFF));
    Put8(m_image, at + 1, static_cast<std::uint8_t>(page & 0xFF));
    Put8(m_image, at + 2, static_cast<std::uint8_t>((page >> 8) & 0xFF));
    Put8(m_image, at + 3, static_cast<std::uint8_t>(fragment->index));
  }

  // Header (own page number, usage, FF x4, fragment count), fragments from 0x0C in index order,
  // and the offset table growing down from the page end, closed by the end offset.
  void WriteVariablePages() {
    Layout& layout = m_built.layout;
    layout.recordFragments.assign(m_variable ? m_file.records.size() : 0, {});
    for (const VariablePagePlan& page : m_variablePages) {
      const std::size_t at = PageOffset(page.physical);
      if (m_v6) {
        PutPref(m_image, at, kVariablePageType, page.logical);
      } else {
        PutWs32(m_image, at, page.physical);
      }
      Put16(m_image, at + 4, 1);
      Put32(m_image, at + 6, kNone);
      Put16(m_image, at + 0x0A, static_cast<std::uint16_t>(page.fragments.size()));
      std::size_t offset = kVariablePageHeader;
      for (std::size_t i = 0; i < page.fragments.size(); ++i) {
        const FragmentPlan& fragment = page.fragments[i];
        const std::vector<std::byte>& record = m_file.records[fragment.record];
        const std::vector<FragmentRef>& chain = m_recordFragments[fragment.record];
        const auto self = std::find_if(chain.begin(), chain.end(), [&](const FragmentRef& ref) {
          return &m_variablePages[ref.page] == &page && ref.index == i;
        });
        std::size_t data = at + offset;
        if (fragment.chained) {
          const bool last = self + 1 == chain.end();
          PutPointer(data, last ? std::nullopt : std::optional(*(self + 1)));
          data += kPointerSize;
        }
        const auto begin = record.begin() + static_cast<std::ptrdiff_t>(fragment.dataBegin);
        PutBytes(m_image, data,
                 std::vector<std::byte>(begin,
                                        begin + static_cast<std::ptrdiff_t>(fragment.dataLength)));
        const auto entry =
            static_cast<std::uint16_t>(offset | (!m_v6 && fragment.chained ? kChainedFragment : 0));
        Put16(m_image, at + m_pageSize - 2 - 2 * i, entry);
        layout.recordFragments[fragment.record].push_back(
            {page.physical, static_cast<std::uint8_t>(i), at + offset});
        offset += fragment.size;
      }
      Put16(m_image, at + m_pageSize - 2 - 2 * page.fragments.size(),
            static_cast<std::uint16_t>(offset));
    }
    // Fragments were written page by page; list each record's in chain order.
    for (std::size_t r = 0; r < layout.recordFragments.size(); ++r) {
      std::vector<Layout::Fragment>& list = layout.recordFragments[r];
      std::vector<Layout::Fragment> ordered;
      for (const FragmentRef& ref : m_recordFragments[r]) {
        for (const Layout::Fragment& fragment : list) {
          if (fragment.page == m_variablePages[ref.page].physical && fragment.index == ref.index) {
            ordered.push_back(fragment);
          }
        }
      }
      list = std::move(ordered);
    }
  }

  // Header (pre-6.0: page 1 and a zero usage word; 6.x: the page's own PREF), the marker, the name
  // and the table.
  void WriteCollationPages() {
    for (std::size_t a = 0; a < m_collationPhysical.size(); ++a) {
      const CollatingSequence& sequence = m_file.collatingSequences[a];
      const std::size_t at = PageOffset(m_collationPhysical[a]);
      if (m_v6) {
        PutPref(m_image, at, kCollationPageType, m_collationLogical[a]);
      } else {
        PutWs32(m_image, at, m_collationPhysical[a]);
      }
      Put8(m_image, at + 6, kCollationMarker);
      for (std::size_t i = 0; i < 8 && i < sequence.name.size(); ++i)
        Put8(m_image, at + 7 + i, static_cast<std::uint8_t>(sequence.name[i]));
      for (std::size_t i = 0; i < sequence.table.size(); ++i)
        Put8(m_image, at + 15 + i, sequence.table[i]);
    }
  }

  // Every node of every key's B-tree.
  void WriteIndexPages() {
    const std::vector<std::uint32_t>& addresses = m_built.layout.recordAddresses;
    for (std::size_t k = 0; k < m_keys.size(); ++k) {
      const KeyPlan& plan = m_keys[k];
      const auto type = static_cast<std::uint8_t>(kIndexPageType + k);
      const auto putChild = [&](std::size_t at, const std::vector<std::size_t>& children,
                                std::size_t c) {
        if (children.empty()) {
          PutWs32(m_image, at, kNone);
        } else if (m_v6) {
          PutPref(m_image, at, type, plan.nodes[children[c]].logical);
        } else {
          PutWs32(m_image, at, plan.nodes[children[c]].physical);
        }
      };
      for (const KeyPlan::Node& node : plan.nodes) {
        const std::size_t at = PageOffset(node.physical);
        if (m_v6) {
          PutPref(m_image, at, type, node.logical);
        } else {
          PutWs32(m_image, at, node.physical);
        }
        Put16(m_image, at + 4, 1);
        Put16(m_image, at + 6, static_cast<std::uint16_t>(node.entries.size()));
        putChild(at + kIndexLastChild, node.children, node.entries.size());
        std::size_t field = at + kIndexPageHeader;
        for (std::size_t e = 0; e < node.entries.size(); ++e) {
          const KeyPlan::Entry& entry = plan.entries[node.entries[e]];
          putChild(field, node.children, e);
          field += kPointerSize;
          PutBytes(m_image, field, plan.values[entry.first]);
          field += plan.totalLength;
          PutWs32(m_image, field, addresses[entry.first]);
          field += kPointerSize;
          if (plan.linked) {
            PutWs32(m_image, field, addresses[entry.last]);
            field += kPointerSize;
          }
        }
      }
    }
  }

  void WriteFcrs() {
    const std::uint32_t count =
        m_file.recordCountOverride.value_or(static_cast<std::uint32_t>(m_file.records.size()));
    Layout& layout = m_built.layout;
    if (!m_v6) {
      layout.currentFcrPage = 0;
      WriteFcr(0, 1, count, 0);
      return;
    }
    const std::uint32_t current = m_file.staleFcr == StaleCopy::kSecond ? 0 : 1;
    layout.currentFcrPage = current;
    layout.staleFcrPage = 1 - current;
    WriteFcr(current, kCurrentUsage, count, m_highestLogical + 1);
    if (m_file.staleCopiesDisagree) {
      WriteFcr(1 - current, kStaleUsage, 0, 1);  // as freshly created: no records, no pages
    } else {
      WriteFcr(1 - current, kStaleUsage, count, m_highestLogical + 1);
    }
  }

  void WriteFcr(std::uint32_t page, std::uint32_t usage, std::uint32_t recordCount,
                std::uint32_t logicalBound) {
    const std::size_t at = PageOffset(page);
    const Layout& layout = m_built.layout;
    if (m_v6) {
      Put8(m_image, at, 0x46);  // "FC"
      Put8(m_image, at + 1, 0x43);
      Put32(m_image, at + 4, usage);
      Fill(m_image, at + 0x0C, 8, 0xFF);
      Put16(m_image, at + 0x22, 0xFFFF);
      PutWs32(m_image, at + 0x26, logicalBound);
      if (m_variable) Fill(m_image, at + 0x38, 4, 0xFF);
      Put16(m_image, at + 0x4A, m_file.version != 0 ? m_file.version : 0x0600);
      Put16(m_image, at + 0x72, m_firstPointerOffset);
      Put16(m_image, at + 0x74, m_linkedCount);
      Put8(m_image, at + 0x76, static_cast<std::uint8_t>(m_keys.size()));
      Put8(m_image, at + 0x77, static_cast<std::uint8_t>(m_segmentCount));
      Put16(m_image, at + 0x78, static_cast<std::uint16_t>(m_katOffset));
      for (std::size_t k = 0; k < m_keys.size(); ++k) {
        Put16(m_image, at + m_katOffset + 2 * k, static_cast<std::uint16_t>(m_keys[k].entryOffset));
      }
    } else {
      Put16(m_image, at + 4, static_cast<std::uint16_t>(usage));
      Put8(m_image, at + 7, static_cast<std::uint8_t>(m_file.version != 0 ? m_file.version : 4));
      Fill(m_image, at + 0x0C, 4, 0xFF);
      PutWs32(m_image, at + 0x10,
              layout.deletedSlots.empty()
                  ? kNone
                  : static_cast<std::uint32_t>(layout.deletedSlots.front()));
      PutWs32(m_image, at + 0x1E, m_dataPhysical.empty() ? kNone : m_dataPhysical.back());
      PutWs32(m_image, at + 0x26, m_pageCount);
      if (m_variable) Put8(m_image, at + 0x38, 0xFF);
    }
    Put16(m_image, at + 0x08, static_cast<std::uint16_t>(m_pageSize));
    Put16(m_image, at + 0x14, static_cast<std::uint16_t>(m_keys.size()));
    Put16(m_image, at + 0x16, m_file.recordLength);
    Put16(m_image, at + 0x18, static_cast<std::uint16_t>(m_physical));
    PutWs32(m_image, at + 0x1A, recordCount);
    Put8(m_image, at + 0x24, 1);
    Put16(m_image, at + 0x106, m_file.fileFlags);
    for (std::size_t k = 0; k < m_keys.size(); ++k)
      WriteKeyDescriptor(at, k);
  }

  // Later segments carry only flags, position, length, type and null value.
  void WriteKeyDescriptor(std::size_t fcr, std::size_t k) {
    const Key& key = m_file.keys[k];
    const KeyPlan& plan = m_keys[k];
    for (std::size_t s = 0; s < key.segments.size(); ++s) {
      const Segment& segment = key.segments[s];
      const std::size_t at = fcr + plan.entryOffset + kSegmentEntrySize * s;
      if (s == 0) {
        const auto keyType = static_cast<std::uint8_t>(kIndexPageType + k);
        if (m_v6) {
          PutPref(m_image, at, keyType, m_indexLogical[k]);
          Put8(m_image, at + 0x18, keyType);
        } else {
          PutWs32(m_image, at, m_indexPhysical[k]);
        }
        PutWs32(m_image, at + 0x04, plan.uniqueValues);
        Put16(m_image, at + 0x0A, plan.totalLength);
        Put16(m_image, at + 0x0C, plan.entrySize);
        Put16(m_image, at + 0x0E, plan.maxEntries);
        Put16(m_image, at + 0x10, static_cast<std::uint16_t>(plan.maxEntries / 2));
        Put16(m_image, at + 0x12, plan.pointerOffset);
      }
      const bool last = s + 1 == key.segments.size();
      const auto flags = static_cast<std::uint16_t>((segment.flags & ~key_flag::kSegmented) |
                                                    (last ? 0 : key_flag::kSegmented));
      Put16(m_image, at + 0x08, flags);
      if (m_v6 && (segment.flags & key_flag::kAlternateCollation) != 0) {
        const std::uint32_t page = m_collationLogical[segment.collatingSequence];
        Put8(m_image, at + 0x19, static_cast<std::uint8_t>((page >> 16) & 0xFF));
        Put16(m_image, at + 0x1A, static_cast<std::uint16_t>(page & 0xFFFF));
      }
      Put16(m_image, at + 0x14, static_cast<std::uint16_t>(segment.offset + m_dataStart));
      Put16(m_image, at + 0x16, segment.length);
      Put8(m_image, at + 0x1C, segment.type);
      Put8(m_image, at + 0x1D, segment.nullValue);
    }
  }

  // Copies of live data pages, cycling through them, with every record byte flipped and a usage
  // word newer than the live page's.
  void WriteShadowPages() {
    for (std::size_t s = 0; s < m_shadowPhysical.size(); ++s) {
      const std::size_t live = s % m_dataPageCount;
      const std::size_t from = PageOffset(m_dataPhysical[live]);
      const std::size_t to = PageOffset(m_shadowPhysical[s]);
      std::copy_n(m_image.begin() + static_cast<std::ptrdiff_t>(from), m_pageSize,
                  m_image.begin() + static_cast<std::ptrdiff_t>(to));
      Put16(m_image, to + 4, kShadowPageUsage);
      const std::size_t end = std::min(m_slots.size(), (live + 1) * m_slotsPerPage);
      for (std::size_t i = live * m_slotsPerPage; i < end; ++i) {
        if (m_slots[i].kind != SlotKind::kRecord) continue;
        const std::size_t data = to + (m_slots[i].offset - from) + m_dataStart;
        for (std::size_t b = 0; b < m_file.recordLength; ++b)
          m_image[data + b] ^= std::byte{0xFF};
      }
      m_shadowOf[m_dataLogical[live]] = m_shadowPhysical[s];
    }
  }

  // The current copy of each pair maps its logical pages; the stale copy either repeats it or, when
  // the copies disagree, is empty except for logical pages it points at their shadows.
  void WritePats() {
    const std::uint32_t quarter = m_pageSize / 4;
    Layout& layout = m_built.layout;
    for (std::uint32_t pair = 0; pair < m_patPairs; ++pair) {
      const std::uint32_t first = 2 + pair * quarter;
      const bool firstIsCurrent = m_file.stalePat == StaleCopy::kSecond;
      const std::uint32_t current = firstIsCurrent ? first : first + 1;
      const std::uint32_t stale = firstIsCurrent ? first + 1 : first;
      layout.currentPatPages.push_back(current);
      layout.stalePatPages.push_back(stale);
      for (const std::uint32_t page : {current, stale}) {
        const std::size_t at = PageOffset(page);
        Put8(m_image, at, 0x50);  // "PP", as every genuine PAT page starts
        Put8(m_image, at + 1, 0x50);
        Put8(m_image, at + 2, 0x01);
        Put32(m_image, at + 4, page == current ? kCurrentUsage : kStaleUsage);
      }
      const auto entry = [&](std::uint32_t page, std::uint32_t logical) {
        return PageOffset(page) + 4 + 4 * (logical - pair * EntriesPerPat());
      };
      const std::uint32_t low = pair * EntriesPerPat() + 1;
      const std::uint32_t high = std::min(m_highestLogical, (pair + 1) * EntriesPerPat());
      for (std::uint32_t logical = low; logical <= high; ++logical) {
        const auto [type, physical] = m_logicalPages[logical - 1];
        PutPref(m_image, entry(current, logical), type, physical);
        if (!m_file.staleCopiesDisagree) {
          PutPref(m_image, entry(stale, logical), type, physical);
        } else if (const auto shadow = m_shadowOf.find(logical); shadow != m_shadowOf.end()) {
          PutPref(m_image, entry(stale, logical), kDataPageType, shadow->second);
        }
      }
    }
  }

  void WriteJunkPages() {
    const std::size_t start = PageOffset(m_pageCount);
    for (std::size_t at = start; at < m_image.size(); ++at)
      Put8(m_image, at, JunkByte(at));
  }

  const FileSpec& m_file;
  const bool m_v6;
  const std::uint32_t m_pageSize;
  const std::uint16_t m_dataStart;  // slot offset of the record data
  const bool m_variable;

  std::vector<KeyPlan> m_keys;
  std::size_t m_physical = 0;  // physical record length = slot size
  std::uint32_t m_slotsPerPage = 0;
  std::size_t m_segmentCount = 0;
  std::uint16_t m_linkedCount = 0;
  std::uint16_t m_firstPointerOffset = 0;
  std::size_t m_katOffset = 0;

  std::vector<Slot> m_slots;
  std::size_t m_dataPageCount = 0;
  std::uint32_t m_nextPhysical = 0;
  std::uint32_t m_patPairs = 1;
  std::uint32_t m_pageCount = 0;  // pages before the junk
  std::uint32_t m_highestLogical = 0;
  std::vector<std::uint32_t> m_indexPhysical;
  std::vector<std::uint32_t> m_indexLogical;
  std::vector<std::uint32_t> m_dataPhysical;
  std::vector<std::uint32_t> m_dataLogical;
  std::vector<std::uint32_t> m_shadowPhysical;
  std::vector<std::uint32_t> m_collationPhysical;
  std::vector<std::uint32_t> m_collationLogical;
  // 6.x: per logical page (from 1), its PAT type and physical page.
  std::vector<std::pair<std::uint8_t, std::uint32_t>> m_logicalPages;

  std::vector<VariablePagePlan> m_variablePages;
  std::vector<std::vector<FragmentRef>> m_recordFragments;  // per record, chain order
  std::map<std::uint32_t, std::uint32_t> m_shadowOf;        // logical page -> its (last) shadow

  BuiltFile m_built;
  Image& m_image = m_built.bytes;
};

}  // namespace

BuiltFile Build(const FileSpec& file) {
  return FileBuilder(file).Build();
}

void WriteFile(const std::filesystem::path& path, const std::vector<std::byte>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("writer: cannot create " + path.string());
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("writer: cannot write " + path.string());
}

FileSpec LibrarySpec(Format format, std::uint16_t pageSize, std::uint16_t recordLength,
                     std::uint16_t keyOffset, std::vector<std::vector<std::byte>> records) {
  FileSpec file;
  file.format = format;
  file.pageSize = pageSize;
  file.recordLength = recordLength;
  file.keys.push_back(Key{{Segment{keyOffset, 4, key_type::kInteger, key_flag::kExtendedType, 0}}});
  file.records = std::move(records);
  return file;
}

}  // namespace btrieve::writer
