// Ordering of key values for the types this reader supports (see key_compare.h).
#include "btrieve/key_compare.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

#include "btrieve/format_constants.h"

namespace btrieve {
namespace {

unsigned At(std::span<const std::byte> bytes, std::size_t i) {
  return std::to_integer<unsigned>(bytes[i]);
}

int CompareBytes(std::span<const std::byte> a, std::span<const std::byte> b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (At(a, i) != At(b, i)) return At(a, i) < At(b, i) ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// Byte-wise after mapping each byte through `table`; a shorter text that is a prefix comes first.
int CompareMapped(std::span<const std::byte> a, std::span<const std::byte> b,
                  const CollationTable* table) {
  if (table == nullptr) return CompareBytes(a, b);
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned x = (*table)[At(a, i)];
    const unsigned y = (*table)[At(b, i)];
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// The text of a length-prefixed segment: the first byte counts the bytes after it (at most the
// segment's room).
std::span<const std::byte> LengthPrefixed(std::span<const std::byte> bytes) {
  if (bytes.empty()) return bytes;
  const std::size_t length = std::min<std::size_t>(At(bytes, 0), bytes.size() - 1);
  return bytes.subspan(1, length);
}

std::span<const std::byte> UpToZero(std::span<const std::byte> bytes) {
  const auto zero = std::find(bytes.begin(), bytes.end(), std::byte{0});
  return bytes.first(static_cast<std::size_t>(zero - bytes.begin()));
}

// A little-endian value of `size` bytes (1 to 8); the common widths load through one copy of a
// fixed size.
template <std::size_t N>
std::uint64_t LoadFixed(const std::byte* bytes) {
  if constexpr (N == 1 || std::endian::native != std::endian::little) {
    std::uint64_t value = 0;
    for (std::size_t i = N; i > 0; --i)
      value = (value << 8) | std::to_integer<std::uint64_t>(bytes[i - 1]);
    return value;
  } else {
    using Word = std::conditional_t<N == 2, std::uint16_t,
                                    std::conditional_t<N == 4, std::uint32_t, std::uint64_t>>;
    Word value;
    std::memcpy(&value, bytes, N);
    return value;
  }
}

std::uint64_t LoadLe(std::span<const std::byte> bytes) {
  switch (bytes.size()) {
    case 1:
      return LoadFixed<1>(bytes.data());
    case 2:
      return LoadFixed<2>(bytes.data());
    case 4:
      return LoadFixed<4>(bytes.data());
    case 8:
      return LoadFixed<8>(bytes.data());
    default: {
      std::uint64_t value = 0;
      for (std::size_t i = bytes.size(); i > 0; --i)
        value = (value << 8) | At(bytes, i - 1);
      return value;
    }
  }
}

int CompareUnsigned(std::span<const std::byte> a, std::span<const std::byte> b) {
  // Equal lengths (both are one segment); the most significant byte is the last. Values of up to
  // 8 bytes, by far the common case, compare as integers.
  if (a.size() <= 8) {
    const std::uint64_t x = LoadLe(a);
    const std::uint64_t y = LoadLe(b);
    return x == y ? 0 : (x < y ? -1 : 1);
  }
  for (std::size_t i = a.size(); i > 0; --i) {
    if (At(a, i - 1) != At(b, i - 1)) return At(a, i - 1) < At(b, i - 1) ? -1 : 1;
  }
  return 0;
}

int CompareSigned(std::span<const std::byte> a, std::span<const std::byte> b) {
  // The sign lives in the top bit of the last byte; with it flipped, unsigned order is signed
  // order.
  const std::size_t last = a.size() - 1;
  const std::uint64_t flip = std::uint64_t{0x80} << (8 * last);
  const std::uint64_t x = LoadLe(a) ^ flip;
  const std::uint64_t y = LoadLe(b) ^ flip;
  return x == y ? 0 : (x < y ? -1 : 1);
}

int CompareSegment(const SegmentSpec& segment, std::span<const std::byte> a,
                   std::span<const std::byte> b) {
  int result = 0;
  const CollationTable* table = segment.table.get();
  switch (segment.order) {
    case SegmentOrder::kBytes:
      result = CompareMapped(a, b, table);
      break;
    case SegmentOrder::kZeroTerminated:
      result = CompareMapped(UpToZero(a), UpToZero(b), table);
      break;
    case SegmentOrder::kLengthPrefixed:
      result = CompareMapped(LengthPrefixed(a), LengthPrefixed(b), table);
      break;
    case SegmentOrder::kSigned:
      result = CompareSigned(a, b);
      break;
    case SegmentOrder::kUnsigned:
      result = CompareUnsigned(a, b);
      break;
    case SegmentOrder::kUnsupported:
      result = CompareBytes(a, b);
      break;
  }
  return segment.descending ? -result : result;
}

std::span<const std::byte> SegmentOf(const SegmentSpec& segment,
                                     std::span<const std::byte> record) {
  return record.subspan(segment.recordOffset, segment.length);
}

bool SegmentIsNull(const SegmentSpec& segment, std::span<const std::byte> record) {
  const auto bytes = SegmentOf(segment, record);
  return std::all_of(bytes.begin(), bytes.end(), [&](std::byte b) {
    return std::to_integer<std::uint8_t>(b) == segment.nullValue;
  });
}

SegmentOrder ClassifyType(std::uint16_t flags, std::uint8_t type, std::uint16_t length) {
  if ((flags & key_flags::kExtendedType) == 0) {
    return (flags & key_flags::kBinary) != 0 ? SegmentOrder::kUnsigned : SegmentOrder::kBytes;
  }
  switch (type) {
    case key_types::kString:
      return SegmentOrder::kBytes;
    case key_types::kZString:
      return SegmentOrder::kZeroTerminated;
    case key_types::kLString:
      return SegmentOrder::kLengthPrefixed;
    case key_types::kUnsignedBinary:
      return SegmentOrder::kUnsigned;
    case key_types::kInteger:
      return (length == 1 || length == 2 || length == 4 || length == 8)
                 ? SegmentOrder::kSigned
                 : SegmentOrder::kUnsupported;
    case key_types::kAutoIncrement:
      return (length == 2 || length == 4) ? SegmentOrder::kSigned : SegmentOrder::kUnsupported;
    default:
      return SegmentOrder::kUnsupported;
  }
}

}  // namespace

SegmentOrder ClassifySegment(std::uint16_t flags, std::uint8_t type, std::uint16_t length) {
  const SegmentOrder order = ClassifyType(flags, type, length);
  const bool text = order == SegmentOrder::kBytes || order == SegmentOrder::kZeroTerminated ||
                    order == SegmentOrder::kLengthPrefixed;
  if (CollationOf(flags) != Collation::kNone && !text) return SegmentOrder::kUnsupported;
  return order;
}

Collation CollationOf(std::uint16_t flags) {
  if ((flags & key_flags::kAlternateCollation) != 0) return Collation::kAlternate;
  if ((flags & key_flags::kCaseInsensitive) != 0) return Collation::kCaseInsensitive;
  return Collation::kNone;
}

std::shared_ptr<const CollationTable> CaseInsensitiveTable() {
  static const CollationTable table = [] {
    CollationTable t{};
    for (unsigned i = 0; i < t.size(); ++i)
      t[i] = static_cast<std::uint8_t>(i >= 'a' && i <= 'z' ? i - 'a' + 'A' : i);
    return t;
  }();
  // Shared without ownership: the table lives as long as the program.
  return std::shared_ptr<const CollationTable>(std::shared_ptr<const CollationTable>(), &table);
}

int CompareRecordKeys(const KeySpec& key, std::span<const std::byte> left,
                      std::span<const std::byte> right) {
  for (const SegmentSpec& segment : key.segments) {
    const int result = CompareSegment(segment, SegmentOf(segment, left), SegmentOf(segment, right));
    if (result != 0) return result;
  }
  return 0;
}

int CompareRecordWithValue(const KeySpec& key, std::span<const std::byte> record,
                           std::span<const std::byte> value) {
  std::size_t valueOffset = 0;
  for (const SegmentSpec& segment : key.segments) {
    const int result = CompareSegment(segment, SegmentOf(segment, record),
                                      value.subspan(valueOffset, segment.length));
    if (result != 0) return result;
    valueOffset += segment.length;
  }
  return 0;
}

bool IsNullKey(const KeySpec& key, std::span<const std::byte> record) {
  if ((key.flags & key_flags::kNullAny) != 0) {
    return std::any_of(key.segments.begin(), key.segments.end(),
                       [&](const SegmentSpec& s) { return SegmentIsNull(s, record); });
  }
  if ((key.flags & key_flags::kNullAll) != 0) {
    return std::all_of(key.segments.begin(), key.segments.end(),
                       [&](const SegmentSpec& s) { return SegmentIsNull(s, record); });
  }
  return false;
}

void ExtractKey(const KeySpec& key, std::span<const std::byte> record, std::span<std::byte> out) {
  std::size_t offset = 0;
  for (const SegmentSpec& segment : key.segments) {
    const auto bytes = SegmentOf(segment, record);
    std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(offset));
    offset += segment.length;
  }
}

}  // namespace btrieve
