// Record order of one key, including the duplicate-chain rule (see key_order.h).
#include "btrieve/key_order.h"

#include <algorithm>
#include <array>
#include <bit>
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

// Copies text into out, through `table` when there is one.
void WriteText(const CollationTable* table, std::span<const std::byte> text, std::uint8_t* out) {
  if (table == nullptr) {
    if (!text.empty()) std::memcpy(out, text.data(), text.size());
    return;
  }
  for (std::size_t i = 0; i < text.size(); ++i)
    out[i] = (*table)[ByteAt(text, i)];
}

// Writes the segment's sortable form into out[0, width), width being SortableWidth(segment).
void WriteSortable(const SegmentSpec& segment, std::size_t width, std::span<const std::byte> bytes,
                   std::uint8_t* out) {
  const CollationTable* table = segment.table.get();
  switch (segment.order) {
    case SegmentOrder::kBytes:
      WriteText(table, bytes, out);
      break;
    case SegmentOrder::kZeroTerminated:
    case SegmentOrder::kLengthPrefixed: {
      std::span<const std::byte> text = bytes;
      if (segment.order == SegmentOrder::kLengthPrefixed) {
        const std::size_t length =
            bytes.empty() ? 0 : std::min<std::size_t>(ByteAt(bytes, 0), bytes.size() - 1);
        text = bytes.empty() ? bytes : bytes.subspan(1, length);
      } else {
        const void* const zero = std::memchr(bytes.data(), 0, bytes.size());
        text = bytes.first(
            zero == nullptr
                ? bytes.size()
                : static_cast<std::size_t>(static_cast<const std::byte*>(zero) - bytes.data()));
      }
      const std::size_t room = TextRoom(segment);
      WriteText(table, text, out);
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

// The eight bytes at `bytes` as a big-endian number.
std::uint64_t BigEndian64(const std::uint8_t* bytes) {
  std::uint64_t value = 0;
#if defined(__GNUC__) || defined(__clang__)
  std::memcpy(&value, bytes, 8);
  if constexpr (std::endian::native == std::endian::little) value = __builtin_bswap64(value);
#else
  for (std::size_t b = 0; b < 8; ++b)
    value = (value << 8) | bytes[b];
#endif
  return value;
}

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
  const std::byte* const base = image.data();
  if (SmallIntegerKeyOrder::Handles(key)) {
    SmallIntegerKeyOrder order(key, facts, records.size());
    for (std::uint32_t i = 0; i < records.size(); ++i)
      order.Add(base + records[i].slotOffset, i);
    return order.Finish(image, facts, records);
  }
  SortableKeyOrder order(key, facts, records.size());
  for (std::uint32_t i = 0; i < records.size(); ++i)
    order.Add(base + records[i].slotOffset, i);
  return order.Finish(image, facts, records);
}

bool SortableKeyOrder::Handles(const KeySpec& key) {
  return key.comparable && !key.collationMissing && !key.segments.empty();
}

SortableKeyOrder::SortableKeyOrder(const KeySpec& key, const FileFacts& facts, std::size_t expected)
    : m_key(&key),
      m_dataOffset(facts.constants->dataOffsetInSlot),
      m_recordLength(facts.recordLength),
      m_expected(expected),
      m_mayBeNull((key.flags & (key_flags::kNullAll | key_flags::kNullAny)) != 0) {
  for (const SegmentSpec& segment : key.segments) {
    m_widths.push_back(SortableWidth(segment));
    m_width += m_widths.back();
  }
  m_kept = std::min(m_width, kMaxSortableBytes);
  const SegmentSpec& first = key.segments.front();
  m_integer = key.segments.size() == 1 &&
              (first.order == SegmentOrder::kSigned || first.order == SegmentOrder::kUnsigned) &&
              (first.length == 1 || first.length == 2 || first.length == 4 || first.length == 8);
  if (m_integer) {
    m_integerOffset = first.recordOffset;
    m_integerLength = first.length;
    const std::uint64_t mask =
        first.length < 8 ? (std::uint64_t{1} << (8 * first.length)) - 1 : ~std::uint64_t{0};
    const std::uint64_t flip =
        first.order == SegmentOrder::kSigned ? std::uint64_t{1} << (8 * first.length - 1) : 0;
    m_flipAndInvert = flip ^ (first.descending ? mask : 0);
  }
  m_whole.assign(std::max<std::size_t>(m_width, 8), 0);
  m_items.reserve(expected);
  // (No more than the slots themselves take: the forms grow beyond that only as records come.)
  if (!m_integer && m_kept > 8) {
    m_forms.reserve(expected * std::min<std::size_t>(m_kept, facts.physicalLength));
  }
}

void SortableKeyOrder::Add(const std::byte* slot, std::uint32_t index) {
  const std::byte* const record = slot + m_dataOffset;
  if (m_mayBeNull && IsNullKey(*m_key, std::span(record, m_recordLength))) return;
  const auto member = static_cast<std::uint32_t>(m_items.size());
  if (!m_members.empty() || index != member) {
    if (m_members.empty()) {
      m_members.reserve(std::max<std::size_t>(m_expected, std::size_t{member} + 1));
      for (std::uint32_t m = 0; m < member; ++m)
        m_members.push_back(m);
    }
    m_members.push_back(index);
  }
  if (m_integer) {
    std::uint64_t prefix = 0;
    const std::byte* const bytes = record + m_integerOffset;
    for (std::size_t b = m_integerLength; b > 0; --b)
      prefix = (prefix << 8) | std::to_integer<std::uint64_t>(bytes[b - 1]);
    prefix ^= m_flipAndInvert;
    m_sorted = m_sorted && (m_items.empty() || m_items.back().prefix <= prefix);
    m_items.push_back({prefix, member});
    return;
  }
  // An exact form longer than eight bytes is written where it is kept; any other first into
  // m_whole. (What the loop needs is read into locals first: its byte stores could alias members.)
  const std::size_t keptBytes = m_kept;
  std::uint8_t* kept = nullptr;
  if (keptBytes > 8) {
    // m_forms grows in steps (each a zero fill); m_formsUsed of it are in use.
    if (m_formsUsed + keptBytes > m_forms.size()) {
      m_forms.resize(
          std::max(m_formsUsed + keptBytes, std::min(2 * m_forms.size(), m_forms.capacity())));
    }
    kept = m_forms.data() + m_formsUsed;
    m_formsUsed += keptBytes;
  }
  const bool inPlace = kept != nullptr && m_width == keptBytes;
  std::uint8_t* const form = inPlace ? kept : m_whole.data();
  const SegmentSpec* segment = m_key->segments.data();
  const SegmentSpec* const last = segment + m_key->segments.size();
  const std::size_t* width = m_widths.data();
  for (std::uint8_t* out = form; segment != last; ++segment, ++width) {
    WriteSortable(*segment, *width, std::span(record + segment->recordOffset, segment->length),
                  out);
    out += *width;
  }
  const std::uint64_t prefix = BigEndian64(form);
  if (keptBytes > 8) {
    if (m_sorted && !m_items.empty()) {
      const Item& previous = m_items.back();
      m_sorted = previous.prefix < prefix ||
                 (previous.prefix == prefix &&
                  std::memcmp(FormOf(previous.member) + 8, form + 8, keptBytes - 8) <= 0);
    }
    if (!inPlace) std::memcpy(kept, form, keptBytes);
  } else {
    m_sorted = m_sorted && (m_items.empty() || m_items.back().prefix <= prefix);
  }
  m_items.push_back({prefix, member});
}

KeyOrder SortableKeyOrder::Finish(std::span<const std::byte> image, const FileFacts& facts,
                                  std::span<const RecordRef> records) {
  KeyOrder result;
  const KeySpec& key = *m_key;
  const std::size_t n = m_items.size();
  const std::size_t kept = m_kept;
  const bool exact = m_width <= kMaxSortableBytes;
  // Whether two members' kept forms are equal.
  const auto sameForm = [&](const Item& a, const Item& b) {
    return a.prefix == b.prefix &&
           (kept <= 8 || std::memcmp(FormOf(a.member) + 8, FormOf(b.member) + 8, kept - 8) == 0);
  };
  // Records are mostly stored in key order (m_sorted tells): then nothing needs sorting.
  if (!m_sorted) {
    RadixSort<8>(m_items, [](const Item& item, unsigned pass) {
      return static_cast<std::size_t>((item.prefix >> (8 * pass)) & 0xFF);
    });
    // Runs that agree on the first eight bytes are put in order by the rest of the kept form.
    if (kept > 8) {
      std::size_t begin = 0;
      while (begin < n) {
        std::size_t end = begin + 1;
        while (end < n && m_items[end].prefix == m_items[begin].prefix)
          ++end;
        if (end - begin > 1) {
          std::sort(m_items.begin() + static_cast<std::ptrdiff_t>(begin),
                    m_items.begin() + static_cast<std::ptrdiff_t>(end),
                    [&](const Item& a, const Item& b) {
                      const int c =
                          std::memcmp(FormOf(a.member) + 8, FormOf(b.member) + 8, kept - 8);
                      return c != 0 ? c < 0 : a.member < b.member;
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
      while (end < n && sameForm(m_items[begin], m_items[end]))
        ++end;
      if (end - begin > 1) {
        result.comparatorUsed = true;
        std::sort(m_items.begin() + static_cast<std::ptrdiff_t>(begin),
                  m_items.begin() + static_cast<std::ptrdiff_t>(end),
                  [&](const Item& a, const Item& b) {
                    return less(RecordOf(a.member), RecordOf(b.member));
                  });
      }
      begin = end;
    }
  }

  result.records.resize(n);
  for (std::size_t m = 0; m < n; ++m)
    result.records[m] = RecordOf(m_items[m].member);
  OrderDuplicateChains(
      result,
      [&](std::size_t a, std::size_t b) {
        if (!sameForm(m_items[a], m_items[b])) return false;
        return exact ||
               CompareRecordKeys(key, RecordData(image, facts, records[result.records[a]]),
                                 RecordData(image, facts, records[result.records[b]])) == 0;
      },
      key, image, facts, records);
  m_items = {};
  m_members = {};
  m_forms = {};
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
