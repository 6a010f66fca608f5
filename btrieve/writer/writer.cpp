// Builds record-file images byte by byte: page allocation, slots, duplicate chains, single-leaf
// index roots, FCR and PAT copies, and the deliberate damage variants that the tests ask for.
#include "btrieve/writer/writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>

namespace btrieve::writer {
namespace {

using Image = std::vector<std::byte>;
using KeyBytes = std::vector<std::byte>;

constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr std::size_t kSpecStart = 0x110;
constexpr std::size_t kSegmentSpecSize = 30;
constexpr std::size_t kKatOffset4096 = 0x0F10;
constexpr std::uint32_t kDataPageHeader = 6;
constexpr std::uint32_t kIndexPageHeader = 16;
constexpr std::uint8_t kDataPageType = 0x44;   // "D"
constexpr std::uint8_t kIndexPageType = 0x80;  // + key number
constexpr std::uint16_t kDataPageUsage = 0x8001;
constexpr std::uint16_t kShadowPageUsage = 0x8002;  // newer-looking than the live page on purpose
constexpr std::uint32_t kCurrentUsage = 2;
constexpr std::uint32_t kStaleUsage = 1;

// ---- encoders
// ---------------------------------------------------------------------------------------

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

// ---- keys
// -------------------------------------------------------------------------------------------

bool IsLinkedDuplicate(std::uint16_t flags) {
  return (flags & key_flag::kDuplicates) != 0 && (flags & key_flag::kRepeatingDuplicates) == 0;
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
  if (std::isnan(x) || std::isnan(y)) return CompareUnsignedLe(a, b, length);
  return x < y ? -1 : (x > y ? 1 : 0);
}

int CompareText(const std::byte* a, const std::byte* b, std::size_t length, bool stopAtZero,
                bool caseInsensitive) {
  for (std::size_t i = 0; i < length; ++i) {
    auto x = static_cast<unsigned char>(a[i]);
    auto y = static_cast<unsigned char>(b[i]);
    if (stopAtZero && x == 0 && y == 0) return 0;
    if (caseInsensitive) {
      if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
      if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    }
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

// Orders two extracted key values the way the index does (close enough for the types tests use).
int CompareKeys(const Key& key, const KeyBytes& a, const KeyBytes& b) {
  std::size_t at = 0;
  for (const Segment& segment : key.segments) {
    const std::byte* x = a.data() + at;
    const std::byte* y = b.data() + at;
    const std::size_t n = segment.length;
    at += n;
    int order = 0;
    const bool extended = (segment.flags & key_flag::kExtendedType) != 0;
    const bool caseInsensitive = (segment.flags & key_flag::kCaseInsensitive) != 0;
    if (!extended) {
      order = (segment.flags & key_flag::kBinary) != 0
                  ? CompareUnsignedLe(x, y, n)
                  : CompareText(x, y, n, false, caseInsensitive);
    } else {
      switch (segment.type) {
        case key_type::kInteger:
        case key_type::kAutoIncrement:
          order = CompareSignedLe(x, y, n);
          break;
        case key_type::kUnsignedBinary:
          order = CompareUnsignedLe(x, y, n);
          break;
        case key_type::kFloat:
          order = CompareFloat(x, y, n);
          break;
        case key_type::kZString:
          order = CompareText(x, y, n, true, caseInsensitive);
          break;
        default:
          order = CompareText(x, y, n, false, caseInsensitive);
          break;
      }
    }
    if ((segment.flags & key_flag::kDescending) != 0) order = -order;
    if (order != 0) return order;
  }
  return 0;
}

// ---- the plan
// ---------------------------------------------------------------------------------------

struct KeyPlan {
  std::uint16_t totalLength = 0;
  bool linked = false;
  std::uint16_t pointerOffset = 0;  // slot offset of the (previous, next) pair; 0 if not linked
  std::uint16_t entrySize = 0;
  std::uint16_t maxEntries = 0;
  std::uint32_t uniqueValues = 0;
  std::size_t specOffset = 0;  // offset of the first segment spec in the FCR page
};

enum class SlotKind { kRecord, kFree, kDeleted };

struct Slot {
  SlotKind kind = SlotKind::kRecord;
  std::size_t record = 0;
};

[[noreturn]] void Invalid(const std::string& what) {
  throw std::invalid_argument("writer: " + what);
}

void ValidateSpec(const FileSpec& spec) {
  const bool v6 = spec.format == Format::kV6;
  if (spec.pageSize < 512 || spec.pageSize > 4096 || spec.pageSize % 512 != 0) {
    Invalid("page size must be a multiple of 512 up to 4096");
  }
  if (spec.recordLength == 0) Invalid("record length must be at least 1");
  for (std::size_t i = 0; i < spec.records.size(); ++i) {
    if (spec.records[i].size() != spec.recordLength) {
      Invalid("record " + std::to_string(i) + " is not recordLength bytes long");
    }
  }
  for (std::size_t k = 0; k < spec.keys.size(); ++k) {
    const Key& key = spec.keys[k];
    if (key.segments.empty()) Invalid("key " + std::to_string(k) + " has no segment");
    std::size_t total = 0;
    for (const Segment& segment : key.segments) {
      if (segment.length == 0 ||
          static_cast<std::size_t>(segment.offset) + segment.length > spec.recordLength) {
        Invalid("a segment of key " + std::to_string(k) + " lies outside the record");
      }
      total += segment.length;
    }
    if (total > 255) Invalid("key " + std::to_string(k) + " is longer than 255 bytes");
  }
  if (spec.shadowPages < 0 || spec.freeSlotEvery < 0 || spec.deletedEvery < 0 ||
      spec.junkPages < 0) {
    Invalid("variant counts must not be negative");
  }
  if (!v6 && (spec.shadowPages > 0 || spec.freeSlotEvery > 0)) {
    Invalid("shadow pages and free slots exist only in 6.x files");
  }
  if (v6 && spec.deletedEvery > 0) Invalid("the deleted-record chain exists only in pre-6.0 files");
}

}  // namespace

BuiltFile Build(const FileSpec& spec) {
  ValidateSpec(spec);
  const bool v6 = spec.format == Format::kV6;
  const std::uint32_t pageSize = spec.pageSize;
  const std::uint16_t recordLength = spec.recordLength;
  const std::size_t keyCount = spec.keys.size();
  const std::uint16_t dataStart = v6 ? 2 : 0;  // slot offset of the record data
  const bool variable = (spec.fileFlags & file_flag::kVariableLength) != 0;

  // Slot layout: [usage count] data [variable-part pointer] [(previous, next) per linked key].
  std::vector<KeyPlan> keys(keyCount);
  std::size_t physical = dataStart + recordLength + (variable ? 4 : 0);
  std::size_t segmentCount = 0;
  std::uint16_t linkedCount = 0;
  std::uint16_t firstPointerOffset = 0;
  for (std::size_t k = 0; k < keyCount; ++k) {
    KeyPlan& plan = keys[k];
    const Key& key = spec.keys[k];
    plan.specOffset = kSpecStart + kSegmentSpecSize * segmentCount;
    segmentCount += key.segments.size();
    for (const Segment& segment : key.segments) {
      plan.totalLength = static_cast<std::uint16_t>(plan.totalLength + segment.length);
    }
    plan.linked = IsLinkedDuplicate(key.segments.front().flags);
    if (plan.linked) {
      plan.pointerOffset = static_cast<std::uint16_t>(physical);
      if (linkedCount == 0) firstPointerOffset = plan.pointerOffset;
      ++linkedCount;
      physical += 8;
    }
    // Index entry: key bytes, record address (first and last duplicate when linked), child page.
    plan.entrySize = static_cast<std::uint16_t>(plan.totalLength + (plan.linked ? 12 : 8));
    plan.maxEntries = static_cast<std::uint16_t>((pageSize - kIndexPageHeader) / plan.entrySize);
    if (plan.maxEntries == 0)
      Invalid("an index entry of key " + std::to_string(k) + " exceeds the page");
  }
  if (physical > pageSize - kDataPageHeader) Invalid("the record slot does not fit in a page");
  const std::uint32_t slotsPerPage =
      (pageSize - kDataPageHeader) / static_cast<std::uint32_t>(physical);

  // FCR room: segment specs from 0x110, then (6.x) the key attribute table.
  const std::size_t specEnd = kSpecStart + kSegmentSpecSize * segmentCount;
  std::size_t katOffset = 0;
  if (v6) {
    if (segmentCount > 255) Invalid("too many key segments");
    katOffset = pageSize == 4096 ? kKatOffset4096 : (specEnd + 15) / 16 * 16;
    if (specEnd > katOffset || katOffset + 2 * keyCount > pageSize) {
      Invalid("the key specifications overflow the FCR page");
    }
  } else if (specEnd > pageSize) {
    Invalid("the key specifications overflow the FCR page");
  }

  // Slot sequence: records in placement order with free or deleted slots between them.
  const std::size_t recordCount = spec.records.size();
  const int gapEvery = v6 ? spec.freeSlotEvery : spec.deletedEvery;
  const SlotKind gapKind = v6 ? SlotKind::kFree : SlotKind::kDeleted;
  std::vector<Slot> slots;
  slots.reserve(recordCount +
                (gapEvery > 0 ? recordCount / static_cast<std::size_t>(gapEvery) : 0));
  for (std::size_t placed = 0; placed < recordCount; ++placed) {
    const std::size_t record = spec.reversePhysicalOrder ? recordCount - 1 - placed : placed;
    slots.push_back({SlotKind::kRecord, record});
    if (gapEvery > 0 && (placed + 1) % static_cast<std::size_t>(gapEvery) == 0 &&
        placed + 1 < recordCount) {
      slots.push_back({gapKind, 0});
    }
  }
  const std::size_t dataPageCount = (slots.size() + slotsPerPage - 1) / slotsPerPage;
  if (spec.shadowPages > 0 && dataPageCount == 0) Invalid("shadow pages need at least one record");

  // Pages. Pre-6.0: FCR, one index page per key, data pages, all physical. 6.x: logical pages 1..K
  // are the index pages, then the data pages; physical pages skip the PAT pairs at 2 + j * (P / 4).
  const std::uint32_t quarter = pageSize / 4;
  const std::uint32_t entriesPerPat = quarter - 2;
  std::vector<std::uint32_t> indexPhysical(keyCount);
  std::vector<std::uint32_t> indexLogical(keyCount);
  std::vector<std::uint32_t> dataPhysical(dataPageCount);
  std::vector<std::uint32_t> dataLogical(dataPageCount);
  std::vector<std::uint32_t> shadowPhysical(static_cast<std::size_t>(spec.shadowPages));
  std::uint32_t nextPhysical = v6 ? 4 : 1;
  std::uint32_t patPairs = 1;
  auto allocate = [&]() {
    if (v6 && nextPhysical == 2 + patPairs * quarter) {
      nextPhysical += 2;
      ++patPairs;
    }
    return nextPhysical++;
  };
  std::uint32_t nextLogical = 1;
  for (std::size_t k = 0; k < keyCount; ++k) {
    indexPhysical[k] = allocate();
    indexLogical[k] = v6 ? nextLogical++ : indexPhysical[k];
  }
  for (std::size_t p = 0; p < dataPageCount; ++p) {
    dataPhysical[p] = allocate();
    dataLogical[p] = v6 ? nextLogical++ : dataPhysical[p];
  }
  for (auto& page : shadowPhysical)
    page = allocate();
  const std::uint32_t pageCount = nextPhysical;
  const std::uint32_t highestLogical = v6 ? nextLogical - 1 : pageCount - 1;
  if (v6 && highestLogical > 0 && (highestLogical - 1) / entriesPerPat >= patPairs) {
    throw std::logic_error("writer: PAT pairs do not cover the logical pages");
  }
  const std::uint64_t totalPages =
      static_cast<std::uint64_t>(pageCount) + static_cast<std::uint64_t>(spec.junkPages);
  if (totalPages * pageSize > 0xFFFFFFF0ULL || highestLogical >= 0xFFFFFF) {
    Invalid("the file would exceed the 32-bit address range");
  }

  BuiltFile built;
  Image& image = built.bytes;
  image.assign(static_cast<std::size_t>(totalPages) * pageSize, std::byte{0});
  Layout& layout = built.layout;
  layout.pageSize = pageSize;
  layout.physicalRecordLength = static_cast<std::uint16_t>(physical);
  layout.pageCount = pageCount;
  layout.indexPages = indexPhysical;
  layout.dataPages = dataPhysical;
  layout.shadowPages = shadowPhysical;
  layout.recordSlots.assign(recordCount, 0);
  layout.recordAddresses.assign(recordCount, 0);

  // Where every slot lands, and the record address that pointers and index entries use.
  std::vector<std::size_t> slotOffset(slots.size());
  std::vector<std::uint32_t> slotAddress(slots.size());
  for (std::size_t i = 0; i < slots.size(); ++i) {
    const std::size_t page = i / slotsPerPage;
    const std::size_t inPage = kDataPageHeader + (i % slotsPerPage) * physical;
    slotOffset[i] = static_cast<std::size_t>(dataPhysical[page]) * pageSize + inPage;
    slotAddress[i] = static_cast<std::uint32_t>(
        (v6 ? dataLogical[page] : dataPhysical[page]) * pageSize + inPage);
    if (slots[i].kind == SlotKind::kRecord) {
      layout.recordSlots[slots[i].record] = slotOffset[i];
      layout.recordAddresses[slots[i].record] = slotAddress[i];
    } else if (slots[i].kind == SlotKind::kFree) {
      layout.freeSlots.push_back(slotOffset[i]);
    } else {
      layout.deletedSlots.push_back(slotOffset[i]);
    }
  }

  // Key values, distinct counts and duplicate chains (insertion order, by equal key bytes).
  std::vector<std::vector<KeyBytes>> keyValues(keyCount);
  std::vector<std::vector<std::uint32_t>> previous(keyCount);
  std::vector<std::vector<std::uint32_t>> next(keyCount);
  for (std::size_t k = 0; k < keyCount; ++k) {
    std::map<KeyBytes, std::size_t> lastWithValue;
    keyValues[k].reserve(recordCount);
    previous[k].assign(recordCount, kNone);
    next[k].assign(recordCount, kNone);
    for (std::size_t r = 0; r < recordCount; ++r) {
      keyValues[k].push_back(ExtractKey(spec.keys[k], spec.records[r]));
      auto [it, inserted] = lastWithValue.try_emplace(keyValues[k].back(), r);
      if (!inserted) {
        previous[k][r] = layout.recordAddresses[it->second];
        next[k][it->second] = layout.recordAddresses[r];
        it->second = r;
      }
    }
    keys[k].uniqueValues = static_cast<std::uint32_t>(lastWithValue.size());
  }

  // Data pages.
  for (std::size_t p = 0; p < dataPageCount; ++p) {
    const std::size_t at = static_cast<std::size_t>(dataPhysical[p]) * pageSize;
    if (v6) {
      PutPref(image, at, kDataPageType, dataLogical[p]);
    } else {
      PutWs32(image, at, dataPhysical[p]);
    }
    Put16(image, at + 4, kDataPageUsage);
  }
  std::size_t gapIndex = 0;
  for (std::size_t i = 0; i < slots.size(); ++i) {
    const std::size_t at = slotOffset[i];
    const Slot& slot = slots[i];
    if (slot.kind == SlotKind::kRecord) {
      if (v6) Put16(image, at, 1);
      PutBytes(image, at + dataStart, spec.records[slot.record]);
      if (variable) PutWs32(image, at + dataStart + recordLength, kNone);
      for (std::size_t k = 0; k < keyCount; ++k) {
        if (!keys[k].linked) continue;
        PutWs32(image, at + keys[k].pointerOffset, previous[k][slot.record]);
        PutWs32(image, at + keys[k].pointerOffset + 4, next[k][slot.record]);
      }
      continue;
    }
    // Free (6.x) and deleted (pre-6.0) slots are chained in file order.
    std::uint32_t following = kNone;
    for (std::size_t j = i + 1; j < slots.size(); ++j) {
      if (slots[j].kind == slot.kind) {
        following = v6 ? slotAddress[j] : static_cast<std::uint32_t>(slotOffset[j]);
        break;
      }
    }
    if (slot.kind == SlotKind::kFree) {
      PutWs32(image, at + 2, following);
    } else {
      PutWs32(image, at, following);
      for (std::size_t b = 4; b < physical; ++b)
        Put8(image, at + b, JunkByte(gapIndex + b));
    }
    ++gapIndex;
  }

  // Index pages: a single leaf root when every entry fits, otherwise an empty root.
  for (std::size_t k = 0; k < keyCount; ++k) {
    const Key& key = spec.keys[k];
    const KeyPlan& plan = keys[k];
    const std::size_t at = static_cast<std::size_t>(indexPhysical[k]) * pageSize;
    if (v6) {
      PutPref(image, at, static_cast<std::uint8_t>(kIndexPageType + k), indexLogical[k]);
    } else {
      PutWs32(image, at, indexPhysical[k]);
    }
    Put16(image, at + 4, 1);
    Fill(image, at + 8, 8, 0xFF);

    std::vector<std::size_t> order;
    for (std::size_t r = 0; r < recordCount; ++r) {
      if (!IsNullKey(key, spec.records[r])) order.push_back(r);
    }
    const auto& values = keyValues[k];
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      const int c = CompareKeys(key, values[a], values[b]);
      return c != 0 ? c < 0 : values[a] < values[b];
    });
    // Linked duplicates share one entry naming the first and last record of their chain.
    struct Entry {
      std::size_t first;
      std::size_t last;
    };
    std::vector<Entry> entries;
    for (std::size_t r : order) {
      if (plan.linked && !entries.empty() && values[entries.back().first] == values[r]) {
        entries.back().last = r;
      } else {
        entries.push_back({r, r});
      }
    }
    if (entries.size() > plan.maxEntries) continue;
    Put16(image, at + 6, static_cast<std::uint16_t>(entries.size()));
    std::size_t entryAt = at + kIndexPageHeader;
    for (const Entry& entry : entries) {
      PutBytes(image, entryAt, values[entry.first]);
      std::size_t field = entryAt + plan.totalLength;
      PutWs32(image, field, layout.recordAddresses[entry.first]);
      field += 4;
      if (plan.linked) {
        PutWs32(image, field, layout.recordAddresses[entry.last]);
        field += 4;
      }
      PutWs32(image, field, kNone);
      entryAt += plan.entrySize;
    }
  }

  // FCR copies.
  const std::uint32_t trueCount =
      spec.recordCountOverride.value_or(static_cast<std::uint32_t>(recordCount));
  auto writeFcr = [&](std::uint32_t page, std::uint32_t usage, std::uint32_t count,
                      std::uint32_t logicalBound) {
    const std::size_t at = static_cast<std::size_t>(page) * pageSize;
    if (v6) {
      Put8(image, at, 0x46);  // "FC"
      Put8(image, at + 1, 0x43);
      Put32(image, at + 4, usage);
      Fill(image, at + 0x0C, 8, 0xFF);
      Put16(image, at + 0x22, 0xFFFF);
      PutWs32(image, at + 0x26, logicalBound);
      if (variable) Fill(image, at + 0x38, 4, 0xFF);
      Put16(image, at + 0x4A, spec.version != 0 ? spec.version : 0x0600);
      Put16(image, at + 0x72, firstPointerOffset);
      Put16(image, at + 0x74, linkedCount);
      Put8(image, at + 0x76, static_cast<std::uint8_t>(keyCount));
      Put8(image, at + 0x77, static_cast<std::uint8_t>(segmentCount));
      Put16(image, at + 0x78, static_cast<std::uint16_t>(katOffset));
      for (std::size_t k = 0; k < keyCount; ++k) {
        Put16(image, at + katOffset + 2 * k, static_cast<std::uint16_t>(keys[k].specOffset));
      }
    } else {
      Put16(image, at + 4, static_cast<std::uint16_t>(usage));
      Put8(image, at + 7, static_cast<std::uint8_t>(spec.version != 0 ? spec.version : 4));
      Fill(image, at + 0x0C, 4, 0xFF);
      PutWs32(image, at + 0x10,
              layout.deletedSlots.empty()
                  ? kNone
                  : static_cast<std::uint32_t>(layout.deletedSlots.front()));
      PutWs32(image, at + 0x1E, dataPageCount == 0 ? kNone : dataPhysical.back());
      PutWs32(image, at + 0x26, pageCount);
      if (variable) Put8(image, at + 0x38, 0xFF);
    }
    Put16(image, at + 0x08, static_cast<std::uint16_t>(pageSize));
    Put16(image, at + 0x14, static_cast<std::uint16_t>(keyCount));
    Put16(image, at + 0x16, recordLength);
    Put16(image, at + 0x18, static_cast<std::uint16_t>(physical));
    PutWs32(image, at + 0x1A, count);
    Put8(image, at + 0x24, 1);
    Put16(image, at + 0x106, spec.fileFlags);

    for (std::size_t k = 0; k < keyCount; ++k) {
      const Key& key = spec.keys[k];
      const KeyPlan& plan = keys[k];
      for (std::size_t s = 0; s < key.segments.size(); ++s) {
        const Segment& segment = key.segments[s];
        const std::size_t segAt = at + plan.specOffset + kSegmentSpecSize * s;
        const bool last = s + 1 == key.segments.size();
        if (s == 0) {
          const auto keyType = static_cast<std::uint8_t>(kIndexPageType + k);
          if (v6) {
            PutPref(image, segAt, keyType, indexLogical[k]);
            Put8(image, segAt + 0x18, keyType);
          } else {
            PutWs32(image, segAt, indexPhysical[k]);
          }
          PutWs32(image, segAt + 0x04, plan.uniqueValues);
          Put16(image, segAt + 0x0A, plan.totalLength);
          Put16(image, segAt + 0x0C, plan.entrySize);
          Put16(image, segAt + 0x0E, plan.maxEntries);
          Put16(image, segAt + 0x10, static_cast<std::uint16_t>(plan.maxEntries / 2));
          Put16(image, segAt + 0x12, plan.pointerOffset);
        }
        const std::uint16_t flags = static_cast<std::uint16_t>(
            (segment.flags & ~key_flag::kSegmented) | (last ? 0 : key_flag::kSegmented));
        Put16(image, segAt + 0x08, flags);
        Put16(image, segAt + 0x14, static_cast<std::uint16_t>(segment.offset + dataStart));
        Put16(image, segAt + 0x16, segment.length);
        Put8(image, segAt + 0x1C, segment.type);
        Put8(image, segAt + 0x1D, segment.nullValue);
      }
    }
  };

  if (!v6) {
    layout.currentFcrPage = 0;
    writeFcr(0, 1, trueCount, 0);
  } else {
    const std::uint32_t current = spec.staleFcr == StaleCopy::kSecond ? 0 : 1;
    layout.currentFcrPage = current;
    layout.staleFcrPage = 1 - current;
    writeFcr(current, kCurrentUsage, trueCount, highestLogical + 1);
    if (spec.staleCopiesDisagree) {
      writeFcr(1 - current, kStaleUsage, 0, 1);  // as freshly created: no records, no pages
    } else {
      writeFcr(1 - current, kStaleUsage, trueCount, highestLogical + 1);
    }
  }

  if (v6) {
    // Shadow pages: stale-looking copies of live data pages with every record byte flipped.
    std::map<std::uint32_t, std::uint32_t> shadowOf;  // logical page -> shadow physical page
    for (std::size_t s = 0; s < shadowPhysical.size(); ++s) {
      const std::size_t live = s % dataPageCount;
      const std::size_t from = static_cast<std::size_t>(dataPhysical[live]) * pageSize;
      const std::size_t to = static_cast<std::size_t>(shadowPhysical[s]) * pageSize;
      std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(from), pageSize,
                  image.begin() + static_cast<std::ptrdiff_t>(to));
      Put16(image, to + 4, kShadowPageUsage);
      for (std::size_t i = live * slotsPerPage;
           i < std::min(slots.size(), (live + 1) * slotsPerPage); ++i) {
        if (slots[i].kind != SlotKind::kRecord) continue;
        const std::size_t data = to + (slotOffset[i] - from) + dataStart;
        for (std::size_t b = 0; b < recordLength; ++b)
          image[data + b] ^= std::byte{0xFF};
      }
      shadowOf[dataLogical[live]] = shadowPhysical[s];
    }

    // PAT pairs: the current copy maps every logical page; the stale one is empty or misleading.
    for (std::uint32_t pair = 0; pair < patPairs; ++pair) {
      const std::uint32_t first = 2 + pair * quarter;
      const std::uint32_t current = spec.stalePat == StaleCopy::kSecond ? first : first + 1;
      const std::uint32_t stale = spec.stalePat == StaleCopy::kSecond ? first + 1 : first;
      layout.currentPatPages.push_back(current);
      layout.stalePatPages.push_back(stale);
      for (std::uint32_t page : {current, stale}) {
        const std::size_t at = static_cast<std::size_t>(page) * pageSize;
        Put8(image, at, 0x50);  // "PP", as every genuine PAT page starts
        Put8(image, at + 1, 0x50);
        Put8(image, at + 2, 0x01);
        Put32(image, at + 4, page == current ? kCurrentUsage : kStaleUsage);
      }
      auto entry = [&](std::uint32_t page, std::uint32_t logical) {
        return static_cast<std::size_t>(page) * pageSize + 4 + 4 * (logical - pair * entriesPerPat);
      };
      const std::uint32_t low = pair * entriesPerPat + 1;
      const std::uint32_t high = std::min(highestLogical, (pair + 1) * entriesPerPat);
      for (std::uint32_t logical = low; logical <= high; ++logical) {
        std::uint8_t type = 0;
        std::uint32_t physicalPage = 0;
        if (logical <= keyCount) {
          type = static_cast<std::uint8_t>(kIndexPageType + (logical - 1));
          physicalPage = indexPhysical[logical - 1];
        } else {
          type = kDataPageType;
          physicalPage = dataPhysical[logical - 1 - keyCount];
        }
        PutPref(image, entry(current, logical), type, physicalPage);
        if (!spec.staleCopiesDisagree) {
          PutPref(image, entry(stale, logical), type, physicalPage);
        } else if (auto shadow = shadowOf.find(logical); shadow != shadowOf.end()) {
          PutPref(image, entry(stale, logical), kDataPageType, shadow->second);
        }
      }
    }
  }

  for (std::size_t j = 0; j < static_cast<std::size_t>(spec.junkPages); ++j) {
    const std::size_t at = (static_cast<std::size_t>(pageCount) + j) * pageSize;
    for (std::size_t b = 0; b < pageSize; ++b)
      Put8(image, at + b, JunkByte(at + b));
  }
  return built;
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
  FileSpec spec;
  spec.format = format;
  spec.pageSize = pageSize;
  spec.recordLength = recordLength;
  spec.keys.push_back(Key{{Segment{keyOffset, 4, key_type::kInteger, key_flag::kExtendedType, 0}}});
  spec.records = std::move(records);
  return spec;
}

}  // namespace btrieve::writer
