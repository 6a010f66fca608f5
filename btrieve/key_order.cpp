// Record order of one key, including the duplicate-chain rule (see key_order.h).
#include "btrieve/key_order.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "btrieve/btrieve.h"
#include "btrieve/byte_reader.h"
#include "btrieve/format_constants.h"

namespace btrieve {
namespace {

std::span<const std::byte> RecordData(std::span<const std::byte> image, const FileFacts& facts,
                                      const RecordRef& record) {
  return image.subspan(record.slotOffset + facts.constants->dataOffsetInSlot, facts.recordLength);
}

// The address duplicate pointers use for a record: pre-6.0 the slot's file offset; 6.x the logical
// page (which its data page repeats in its header, checked at parse time) times the page size plus
// the slot's offset in the page.
std::uint64_t RecordAddress(ByteReader& reader, const FileFacts& facts, std::uint32_t slotOffset) {
  if (!facts.constants->pagesMappedThroughPat) return slotOffset;
  const std::uint64_t pageStart = slotOffset - slotOffset % facts.pageSize;
  const std::uint64_t logical =
      (std::uint64_t{reader.U8(pageStart)} << 16) | reader.U16(pageStart + 2);
  return logical * facts.pageSize + slotOffset % facts.pageSize;
}

// Puts group[0..n) (record indices with equal key values, in physical order) into chain order.
// Answers a reason (status 2) when the pointers do not form one chain over exactly these records.
Reason OrderByChain(std::span<std::uint32_t> group, const KeySpec& key,
                    std::span<const std::byte> image, const FileFacts& facts,
                    std::span<const RecordRef> records) {
  ByteReader reader(image);
  // Where the chain breaks: the slot of record `index`.
  const auto broken = [&](Check check, std::uint32_t index, std::uint64_t bound) {
    const std::uint64_t slotOffset = records[index].slotOffset;
    Reason reason = Refusal(status::kIoError, check)
                        .At(slotOffset / facts.pageSize, facts.physicalPages)
                        .Values(group.size(), bound);
    reason.slot = (slotOffset % facts.pageSize - layout::kPageHeaderSize) / facts.physicalLength;
    return reason;
  };
  struct Member {
    std::uint64_t address;
    std::uint32_t previous;
    std::uint32_t next;
    std::uint32_t record;
  };
  std::vector<Member> members;
  members.reserve(group.size());
  for (const std::uint32_t index : group) {
    const std::uint64_t pair =
        std::uint64_t{records[index].slotOffset} + key.duplicatePointerOffset;
    members.push_back({RecordAddress(reader, facts, records[index].slotOffset), reader.Ws32(pair),
                       reader.Ws32(pair + 4), index});
  }
  if (!reader.Ok()) return broken(Check::kDuplicateChainBroken, group[0], Reason::kUnset);
  std::sort(members.begin(), members.end(),
            [](const Member& a, const Member& b) { return a.address < b.address; });
  const auto find = [&](std::uint64_t address) -> const Member* {
    const auto it =
        std::lower_bound(members.begin(), members.end(), address,
                         [](const Member& m, std::uint64_t value) { return m.address < value; });
    return (it != members.end() && it->address == address) ? &*it : nullptr;
  };

  const Member* current = nullptr;
  std::uint64_t heads = 0;
  for (const Member& member : members) {
    if (member.previous != layout::kNoPointer) continue;
    ++heads;
    if (current == nullptr) current = &member;
  }
  if (heads != 1) return broken(Check::kDuplicateHeads, group[0], heads);
  std::size_t placed = 0;
  std::vector<bool> visited(members.size(), false);
  while (current != nullptr) {
    const auto slot = static_cast<std::size_t>(current - members.data());
    if (visited[slot] || placed == group.size()) {
      return broken(Check::kDuplicateChainBroken, current->record, Reason::kUnset);
    }
    visited[slot] = true;
    group[placed++] = current->record;
    if (current->next == layout::kNoPointer) break;
    const Member* next = find(current->next);
    if (next == nullptr || next->previous != current->address) {
      return broken(Check::kDuplicateChainBroken, current->record, Reason::kUnset);
    }
    current = next;
  }
  if (placed != group.size()) {
    return broken(Check::kDuplicateChainBroken, group[placed - 1], Reason::kUnset);
  }
  return {};
}

// ---- The sortable form of a key value -------------------------------------------------------
//
// Each segment becomes a run of bytes that compares with memcmp exactly as CompareRecordKeys
// orders that segment: integers big-endian (signed ones with the sign bit flipped), text through
// its collating table, padded with zeros to the segment's room and followed by its length (so a
// text that is a prefix of another comes first even where the table maps a byte onto zero),
// descending segments inverted. Segments are concatenated in key order. Equal forms are exactly
// the values the comparator calls equal.

// Keys whose sortable form is longer than this keep only its first bytes; values that agree on
// them are put in order by the comparator. Bounds the transient memory at this much per record.
constexpr std::size_t kMaxSortableBytes = 32;

// The room a text segment's text has, and the bytes its length takes after the padded text.
std::size_t TextRoom(const SegmentSpec& segment) {
  if (segment.order == SegmentOrder::kLengthPrefixed)
    return segment.length == 0 ? 0 : segment.length - 1u;
  return segment.length;
}
std::size_t LengthBytes(std::size_t room) {
  return room > 0xFF ? 2 : 1;
}

std::size_t SortableWidth(const SegmentSpec& segment) {
  switch (segment.order) {
    case SegmentOrder::kZeroTerminated:
    case SegmentOrder::kLengthPrefixed:
      return TextRoom(segment) + LengthBytes(TextRoom(segment));
    default:
      return IsNormalised(segment.order) ? NormalisedWidth(segment.order, segment.length)
                                         : segment.length;
  }
}

unsigned ByteAt(std::span<const std::byte> bytes, std::size_t i) {
  return std::to_integer<unsigned>(bytes[i]);
}

// Writes the segment's sortable form into out[0, SortableWidth(segment)).
void WriteSortable(const SegmentSpec& segment, std::span<const std::byte> bytes,
                   std::uint8_t* out) {
  const CollationTable* table = segment.table.get();
  const auto mapped = [table](unsigned b) {
    return table == nullptr ? static_cast<std::uint8_t>(b) : (*table)[b];
  };
  const std::size_t width = SortableWidth(segment);
  switch (segment.order) {
    case SegmentOrder::kBytes:
      for (std::size_t i = 0; i < bytes.size(); ++i)
        out[i] = mapped(ByteAt(bytes, i));
      break;
    case SegmentOrder::kZeroTerminated:
    case SegmentOrder::kLengthPrefixed: {
      std::span<const std::byte> text = bytes;
      if (segment.order == SegmentOrder::kLengthPrefixed) {
        const std::size_t length =
            bytes.empty() ? 0 : std::min<std::size_t>(ByteAt(bytes, 0), bytes.size() - 1);
        text = bytes.empty() ? bytes : bytes.subspan(1, length);
      } else {
        text = bytes.first(static_cast<std::size_t>(
            std::find(bytes.begin(), bytes.end(), std::byte{0}) - bytes.begin()));
      }
      const std::size_t room = TextRoom(segment);
      for (std::size_t i = 0; i < text.size(); ++i)
        out[i] = mapped(ByteAt(text, i));
      std::fill(out + text.size(), out + room, std::uint8_t{0});
      if (LengthBytes(room) == 2) {
        out[room] = static_cast<std::uint8_t>(text.size() >> 8);
        out[room + 1] = static_cast<std::uint8_t>(text.size());
      } else {
        out[room] = static_cast<std::uint8_t>(text.size());
      }
      break;
    }
    case SegmentOrder::kMagnitude:
    case SegmentOrder::kFloat:
    case SegmentOrder::kBFloat:
    case SegmentOrder::kPackedDecimal:
    case SegmentOrder::kOverpunched:
    case SegmentOrder::kOverpunchedAscii:
    case SegmentOrder::kTrailingSign:
      WriteNormalised(segment.order, bytes, out);
      break;
    case SegmentOrder::kSigned:
    case SegmentOrder::kUnsigned:
    case SegmentOrder::kUnsupported:
      for (std::size_t i = 0; i < bytes.size(); ++i)
        out[i] = static_cast<std::uint8_t>(ByteAt(bytes, bytes.size() - 1 - i));
      if (segment.order == SegmentOrder::kSigned && !bytes.empty()) out[0] ^= 0x80;
      break;
  }
  if (segment.descending) {
    for (std::size_t i = 0; i < width; ++i)
      out[i] = static_cast<std::uint8_t>(~out[i]);
  }
}

// One record in the sort: the first eight bytes of its sortable form as a big-endian number.
struct SortItem {
  std::uint64_t prefix;
  std::uint32_t record;
};

// A stable least-significant-digit radix sort of `items` on `Passes` bytes, byteOf(item, pass)
// being the byte of pass `pass` (0: the least significant); passes whose byte is the same in every
// item are skipped (files with few distinct high bytes sort in one or two passes).
template <unsigned Passes, typename Item, typename ByteOf>
void RadixSort(std::vector<Item>& items, ByteOf byteOf) {
  std::array<std::array<std::uint32_t, 256>, Passes> counts{};
  for (const Item& item : items) {
    for (unsigned pass = 0; pass < Passes; ++pass)
      ++counts[pass][byteOf(item, pass)];
  }
  std::vector<Item> scratch;
  for (unsigned pass = 0; pass < Passes; ++pass) {
    auto& count = counts[pass];
    if (std::any_of(count.begin(), count.end(), [&](std::uint32_t c) { return c == items.size(); }))
      continue;
    std::uint32_t start = 0;
    for (std::uint32_t& c : count)
      start += std::exchange(c, start);
    scratch.resize(items.size());
    for (const Item& item : items)
      scratch[count[byteOf(item, pass)]++] = item;
    items.swap(scratch);
  }
}

// The comparator's order of two records, physical order among equal values.
struct ComparatorLess {
  const KeySpec& key;
  std::span<const std::byte> image;
  const FileFacts& facts;
  std::span<const RecordRef> records;
  bool operator()(std::uint32_t a, std::uint32_t b) const {
    const int result = CompareRecordKeys(key, RecordData(image, facts, records[a]),
                                         RecordData(image, facts, records[b]));
    return result != 0 ? result < 0 : a < b;
  }
};

// Puts each run of equal values of a linked-duplicate key in `result` into the order of its chain
// (nothing to do for other keys). `same` tells whether two neighbours hold equal values. A run
// whose chain is broken makes the order that run's refusal.
template <typename Same>
void OrderDuplicateChains(KeyOrder& result, Same same, const KeySpec& key,
                          std::span<const std::byte> image, const FileFacts& facts,
                          std::span<const RecordRef> records) {
  if (!HasLinkedDuplicates(key)) return;
  const std::span<std::uint32_t> all(result.records);
  std::size_t begin = 0;
  while (begin < all.size()) {
    std::size_t end = begin + 1;
    while (end < all.size() && same(end - 1, end))
      ++end;
    if (end - begin > 1) {
      Reason reason = OrderByChain(all.subspan(begin, end - begin), key, image, facts, records);
      if (reason.status != status::kSuccess) {
        result.status = reason.status;
        result.reason = reason;
        result.records.clear();
        return;
      }
    }
    begin = end;
  }
}

// The checks every order starts with; false when `result` already says why there is none.
bool Orderable(const KeySpec& key, KeyOrder& result) {
  if (!key.comparable) {
    result.status = status::kOperationNotAllowed;
    result.reason = Refusal(result.status, Check::kKeyType);
    for (std::size_t s = 0; s < key.segments.size(); ++s) {
      if (key.segments[s].order != SegmentOrder::kUnsupported) continue;
      result.reason.segment = s + 1;
      result.reason.found = key.segments[s].type;
      result.reason.bound = key.segments[s].length;
      break;
    }
    return false;
  }
  if (key.collationMissing) {
    result.status = status::kIoError;
    result.reason = Refusal(result.status, Check::kCollationMissing);
    return false;
  }
  return true;
}

}  // namespace

KeyOrder BuildKeyOrder(const KeySpec& key, std::span<const std::byte> image, const FileFacts& facts,
                       std::span<const RecordRef> records) {
  KeyOrder result;
  if (!Orderable(key, result)) return result;
  if (SmallIntegerKeyOrder::Handles(key)) {
    SmallIntegerKeyOrder order(key, facts, records.size());
    const std::byte* const base = image.data();
    for (std::uint32_t i = 0; i < records.size(); ++i)
      order.Add(base + records[i].slotOffset, i);
    return order.Finish(image, facts, records);
  }

  std::size_t width = 0;
  for (const SegmentSpec& segment : key.segments)
    width += SortableWidth(segment);
  const bool exact = width <= kMaxSortableBytes;
  const std::size_t kept = std::min(width, kMaxSortableBytes);

  // The records whose key is not null, each with the first eight bytes of its sortable form as a
  // number; the whole kept form is stored only when it is longer than that.
  const bool mayBeNull = (key.flags & (key_flags::kNullAll | key_flags::kNullAny)) != 0;
  std::vector<std::uint32_t> members;
  members.reserve(records.size());
  std::vector<SortItem> items;
  items.reserve(records.size());
  std::vector<std::uint8_t> forms;
  std::vector<std::uint8_t> whole(std::max<std::size_t>(width, 8), 0);
  // A key of one integer segment (of 8 bytes, or smaller and naming a collating sequence) is its
  // own sortable number.
  const SegmentSpec& first = key.segments.front();
  const bool integer =
      key.segments.size() == 1 &&
      (first.order == SegmentOrder::kSigned || first.order == SegmentOrder::kUnsigned) &&
      (first.length == 1 || first.length == 2 || first.length == 4 || first.length == 8);
  const std::uint64_t mask = integer && first.length < 8
                                 ? (std::uint64_t{1} << (8 * first.length)) - 1
                                 : ~std::uint64_t{0};
  const std::uint64_t flip = first.order == SegmentOrder::kSigned && integer
                                 ? std::uint64_t{1} << (8 * first.length - 1)
                                 : 0;
  const std::uint64_t invert = first.descending ? mask : 0;
  for (std::uint32_t i = 0; i < records.size(); ++i) {
    const auto data = RecordData(image, facts, records[i]);
    if (mayBeNull && IsNullKey(key, data)) continue;
    if (integer) {
      std::uint64_t value = 0;
      const std::byte* bytes = data.data() + first.recordOffset;
      for (std::size_t b = first.length; b > 0; --b)
        value = (value << 8) | std::to_integer<std::uint64_t>(bytes[b - 1]);
      items.push_back({(value ^ flip) ^ invert, static_cast<std::uint32_t>(members.size())});
      members.push_back(i);
      continue;
    }
    std::uint8_t* out = whole.data();
    for (const SegmentSpec& segment : key.segments) {
      WriteSortable(segment, data.subspan(segment.recordOffset, segment.length), out);
      out += SortableWidth(segment);
    }
    std::uint64_t prefix = 0;
    for (std::size_t b = 0; b < 8; ++b)
      prefix = (prefix << 8) | (b < kept ? whole[b] : 0u);
    items.push_back({prefix, static_cast<std::uint32_t>(members.size())});
    members.push_back(i);
    if (kept > 8) forms.insert(forms.end(), whole.begin(), whole.begin() + kept);
  }
  const std::size_t n = members.size();
  // The kept form of member m, and whether two members' kept forms are equal.
  const auto form = [&](std::size_t m) { return forms.data() + m * kept; };
  const auto sameForm = [&](const SortItem& a, const SortItem& b) {
    return a.prefix == b.prefix &&
           (kept <= 8 || std::memcmp(form(a.record) + 8, form(b.record) + 8, kept - 8) == 0);
  };

  // Records are mostly stored in key order: one pass tells, and nothing needs sorting.
  bool sorted = true;
  for (std::size_t m = 1; m < n && sorted; ++m) {
    const SortItem& a = items[m - 1];
    const SortItem& b = items[m];
    sorted = a.prefix < b.prefix ||
             (a.prefix == b.prefix &&
              (kept <= 8 || std::memcmp(form(a.record) + 8, form(b.record) + 8, kept - 8) <= 0));
  }
  if (!sorted) {
    RadixSort<8>(items, [](const SortItem& item, unsigned pass) {
      return static_cast<std::size_t>((item.prefix >> (8 * pass)) & 0xFF);
    });
    // Runs that agree on the first eight bytes are put in order by the rest of the kept form.
    if (kept > 8) {
      std::size_t begin = 0;
      while (begin < n) {
        std::size_t end = begin + 1;
        while (end < n && items[end].prefix == items[begin].prefix)
          ++end;
        if (end - begin > 1) {
          std::sort(items.begin() + static_cast<std::ptrdiff_t>(begin),
                    items.begin() + static_cast<std::ptrdiff_t>(end),
                    [&](const SortItem& a, const SortItem& b) {
                      const int c = std::memcmp(form(a.record) + 8, form(b.record) + 8, kept - 8);
                      return c != 0 ? c < 0 : a.record < b.record;
                    });
        }
        begin = end;
      }
    }
  }
  // Beyond the kept bytes only the comparator can tell values apart.
  const ComparatorLess less{key, image, facts, records};
  if (!exact) {
    std::size_t begin = 0;
    while (begin < n) {
      std::size_t end = begin + 1;
      while (end < n && sameForm(items[begin], items[end]))
        ++end;
      if (end - begin > 1) {
        result.comparatorUsed = true;
        std::sort(items.begin() + static_cast<std::ptrdiff_t>(begin),
                  items.begin() + static_cast<std::ptrdiff_t>(end),
                  [&](const SortItem& a, const SortItem& b) {
                    return less(members[a.record], members[b.record]);
                  });
      }
      begin = end;
    }
  }

  result.records.resize(n);
  for (std::size_t m = 0; m < n; ++m)
    result.records[m] = members[items[m].record];
  OrderDuplicateChains(
      result,
      [&](std::size_t a, std::size_t b) {
        if (!sameForm(items[a], items[b])) return false;
        return exact ||
               CompareRecordKeys(key, RecordData(image, facts, records[result.records[a]]),
                                 RecordData(image, facts, records[result.records[b]])) == 0;
      },
      key, image, facts, records);
  return result;
}

bool SmallIntegerKeyOrder::Handles(const KeySpec& key) {
  if (!key.comparable || key.collationMissing || key.segments.size() != 1) return false;
  const SegmentSpec& segment = key.segments.front();
  // (An integer segment flagged for an alternate collating sequence takes the general road, which
  // answers for a sequence that is missing.)
  return segment.collation != Collation::kAlternate &&
         (segment.order == SegmentOrder::kSigned || segment.order == SegmentOrder::kUnsigned ||
          segment.order == SegmentOrder::kMagnitude) &&
         (segment.length == 1 || segment.length == 2 || segment.length == 4);
}

SmallIntegerKeyOrder::SmallIntegerKeyOrder(const KeySpec& key, const FileFacts& facts,
                                           std::size_t expected)
    : m_key(&key),
      m_dataOffset(facts.constants->dataOffsetInSlot),
      m_recordLength(facts.recordLength),
      m_keyOffset(key.segments.front().recordOffset),
      m_length(key.segments.front().length),
      m_mayBeNull((key.flags & (key_flags::kNullAll | key_flags::kNullAny)) != 0) {
  const SegmentSpec& segment = key.segments.front();
  const std::uint32_t mask =
      m_length == 4 ? ~std::uint32_t{0} : (std::uint32_t{1} << (8 * m_length)) - 1;
  const std::uint32_t flip =
      segment.order == SegmentOrder::kSigned ? std::uint32_t{1} << (8 * m_length - 1) : 0;
  m_flipAndInvert = flip ^ (segment.descending ? mask : 0);
  m_magnitude = segment.order == SegmentOrder::kMagnitude;
  m_mask = mask;
  m_items.reserve(expected);
}

KeyOrder SmallIntegerKeyOrder::Finish(std::span<const std::byte> image, const FileFacts& facts,
                                      std::span<const RecordRef> records) {
  KeyOrder result;
  // Sorted on the value in the upper half; the record index below it only travels.
  if (!m_sorted) {
    RadixSort<4>(m_items, [](std::uint64_t item, unsigned pass) {
      return static_cast<std::size_t>((item >> (32 + 8 * pass)) & 0xFF);
    });
  }
  result.records.resize(m_items.size());
  for (std::size_t m = 0; m < m_items.size(); ++m)
    result.records[m] = static_cast<std::uint32_t>(m_items[m]);
  OrderDuplicateChains(
      result,
      [&](std::size_t a, std::size_t b) { return (m_items[a] >> 32) == (m_items[b] >> 32); },
      *m_key, image, facts, records);
  m_items = {};
  return result;
}

KeyOrder BuildKeyOrderByComparison(const KeySpec& key, std::span<const std::byte> image,
                                   const FileFacts& facts, std::span<const RecordRef> records) {
  KeyOrder result;
  if (!Orderable(key, result)) return result;
  result.comparatorUsed = true;
  for (std::uint32_t i = 0; i < records.size(); ++i) {
    if (!IsNullKey(key, RecordData(image, facts, records[i]))) result.records.push_back(i);
  }
  const ComparatorLess less{key, image, facts, records};
  std::sort(result.records.begin(), result.records.end(), less);
  OrderDuplicateChains(
      result,
      [&](std::size_t a, std::size_t b) {
        return CompareRecordKeys(key, RecordData(image, facts, records[result.records[a]]),
                                 RecordData(image, facts, records[result.records[b]])) == 0;
      },
      key, image, facts, records);
  return result;
}

}  // namespace btrieve
