// Ordering of key values for the types this reader supports (see key_compare.h).
#include "btrieve/key_compare.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <initializer_list>
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

int CompareNormalised(SegmentOrder order, std::span<const std::byte> a,
                      std::span<const std::byte> b) {
  std::array<std::uint8_t, kMaxNormalisedWidth> x{};
  std::array<std::uint8_t, kMaxNormalisedWidth> y{};
  WriteNormalised(order, a, x.data());
  WriteNormalised(order, b, y.data());
  const int result = std::memcmp(x.data(), y.data(), NormalisedWidth(order, a.size()));
  return result == 0 ? 0 : (result < 0 ? -1 : 1);
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
    case SegmentOrder::kMagnitude:
    case SegmentOrder::kFloat:
    case SegmentOrder::kBFloat:
    case SegmentOrder::kPackedDecimal:
    case SegmentOrder::kOverpunched:
    case SegmentOrder::kOverpunchedAscii:
    case SegmentOrder::kTrailingSign:
      result = CompareNormalised(segment.order, a, b);
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

bool OneOf(std::uint16_t length, std::initializer_list<std::uint16_t> allowed) {
  return std::find(allowed.begin(), allowed.end(), length) != allowed.end();
}

// The longest DECIMAL, MONEY and NUMERIC family segment ordered (the widest the later formats
// allow); longer ones are damage or a foreign writer.
constexpr std::uint16_t kMaxDecimalLength = 64;

// Types whose layout and order the key reference gives (codes 0-11, 14, 15, 17-20). Left
// unordered (41): the SQL field types 12, 13, 16, 21 and up (the wide strings, GUID, DATETIME, the
// leading-sign and "blank" numerics, the null indicator), whose comparison no source settles.
SegmentOrder ClassifyType(std::uint16_t flags, std::uint8_t type, std::uint16_t length) {
  if ((flags & key_flags::kExtendedType) == 0) {
    return (flags & key_flags::kBinary) != 0 ? SegmentOrder::kUnsigned : SegmentOrder::kBytes;
  }
  const auto sized = [&](SegmentOrder order, std::initializer_list<std::uint16_t> allowed) {
    return OneOf(length, allowed) ? order : SegmentOrder::kUnsupported;
  };
  const auto upTo = [&](SegmentOrder order, std::uint16_t shortest) {
    return length >= shortest && length <= kMaxDecimalLength ? order : SegmentOrder::kUnsupported;
  };
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
      return sized(SegmentOrder::kSigned, {1, 2, 4, 8});
    case key_types::kCurrency:
      return sized(SegmentOrder::kSigned, {8});
    // Day, month, then the year as a word (hundredths, seconds, minutes, hours): chronological
    // order is the order of the little-endian number, invalid dates included.
    case key_types::kDate:
    case key_types::kTime:
      return sized(SegmentOrder::kUnsigned, {4});
    case key_types::kTimestamp:
      return sized(SegmentOrder::kUnsigned, {8});
    // Collated as a string.
    case key_types::kLogical:
      return sized(SegmentOrder::kBytes, {1, 2});
    // By absolute value: -7 and 7 are the same key value.
    case key_types::kAutoIncrement:
      return sized(SegmentOrder::kMagnitude, {2, 4, 8});
    case key_types::kFloat:
      return sized(SegmentOrder::kFloat, {4, 8});
    case key_types::kBFloat:
      return sized(SegmentOrder::kBFloat, {4, 8});
    case key_types::kDecimal:
    case key_types::kMoney:
      return upTo(SegmentOrder::kPackedDecimal, 1);
    case key_types::kNumeric:
      return upTo(SegmentOrder::kOverpunched, 1);
    case key_types::kNumericSa:
      return upTo(SegmentOrder::kOverpunchedAscii, 1);
    case key_types::kNumericSts:
      return upTo(SegmentOrder::kTrailingSign, 2);
    default:
      return SegmentOrder::kUnsupported;
  }
}

// Old-style strings and the extended text types are the only ones a collation applies to.
bool IsTextType(std::uint16_t flags, std::uint8_t type) {
  if ((flags & key_flags::kExtendedType) == 0) return (flags & key_flags::kBinary) == 0;
  return type == key_types::kString || type == key_types::kZString || type == key_types::kLString;
}

// ---- Normalised forms -------------------------------------------------------------------------
//
// The engine's handling of the edge cases below is not documented anywhere; each is a choice, made
// so that the order stays total and deterministic:
// * FLOAT: -0 is +0 (one value, as a numeric comparison has it); NaNs with the sign bit clear sort
//   above +infinity, with it set below -infinity.
// * BFLOAT: every value whose exponent byte is 0 is zero, whatever its sign and mantissa bits.
// * DECIMAL/MONEY: sign nibbles 0xD and 0xB are negative, every other nibble positive; a digit
//   nibble above 9 counts as its value (10-15), above every digit; -0 is +0.
// * NUMERIC: leading blanks count as zeros; '{', 'A'-'I' and plain digits in the last byte are
//   positive, '}', 'J'-'R' negative; any other byte counts as its byte value, above every digit.
// * NUMERICSA: a last byte 'p'-'y' is a negative 0-9 (the usual ASCII convention for signed
//   zoned decimals), anything else as in NUMERIC's digit positions.
// * NUMERICSTS: a last byte '-' is negative, anything else positive.

// The value of one digit position of a zoned number: digits 0-9, a blank 0, any other byte its
// byte value (kept distinct from the digits and from each other, and above them).
std::uint8_t ZonedDigit(unsigned byte) {
  if (byte >= '0' && byte <= '9') return static_cast<std::uint8_t>(byte - '0');
  if (byte == ' ') return 0;
  return static_cast<std::uint8_t>(byte < '0' ? byte + 10 : byte);
}

// Writes a sign byte and the digits, complemented when negative; zero is always positive.
void WriteSignedDigits(bool negative, std::span<const std::uint8_t> digits, std::uint8_t* out) {
  if (std::all_of(digits.begin(), digits.end(), [](std::uint8_t d) { return d == 0; }))
    negative = false;
  out[0] = negative ? 0 : 1;
  for (std::size_t i = 0; i < digits.size(); ++i)
    out[1 + i] = negative ? static_cast<std::uint8_t>(0xFF - digits[i]) : digits[i];
}

}  // namespace

std::size_t NormalisedWidth(SegmentOrder order, std::size_t length) {
  switch (order) {
    case SegmentOrder::kBFloat:
    case SegmentOrder::kOverpunched:
    case SegmentOrder::kOverpunchedAscii:
      return length + 1;
    case SegmentOrder::kPackedDecimal:
      return 2 * length;
    default:
      return length;
  }
}

void WriteNormalised(SegmentOrder order, std::span<const std::byte> bytes, std::uint8_t* out) {
  const std::size_t n = bytes.size();
  if (n == 0) return;
  const auto at = [&](std::size_t i) { return At(bytes, i); };
  switch (order) {
    case SegmentOrder::kMagnitude: {
      // |v| big-endian: the two's complement of a negative value, as an unsigned number.
      const bool negative = (at(n - 1) & 0x80) != 0;
      unsigned carry = negative ? 1 : 0;
      for (std::size_t i = 0; i < n; ++i) {
        const unsigned b = (negative ? (~at(i) & 0xFF) : at(i)) + carry;
        out[n - 1 - i] = static_cast<std::uint8_t>(b);
        carry = b >> 8;
      }
      break;
    }
    case SegmentOrder::kFloat: {
      bool zero = (at(n - 1) & 0x7F) == 0;
      for (std::size_t i = 0; i + 1 < n && zero; ++i)
        zero = at(i) == 0;
      const bool negative = !zero && (at(n - 1) & 0x80) != 0;
      for (std::size_t i = 0; i < n; ++i) {
        const unsigned b = zero ? 0 : at(n - 1 - i);
        out[i] = static_cast<std::uint8_t>(negative ? ~b : b);
      }
      if (!negative) out[0] ^= 0x80;
      break;
    }
    case SegmentOrder::kBFloat: {
      // Exponent (last byte), sign in bit 7 of the byte before it, then the mantissa downwards.
      if (at(n - 1) == 0) {
        out[0] = 1;
        std::fill(out + 1, out + n + 1, std::uint8_t{0});
        break;
      }
      const bool negative = (at(n - 2) & 0x80) != 0;
      out[0] = negative ? 0 : 2;
      out[1] = static_cast<std::uint8_t>(at(n - 1));
      out[2] = static_cast<std::uint8_t>(at(n - 2) & 0x7F);
      for (std::size_t i = 3; i <= n; ++i)
        out[i] = static_cast<std::uint8_t>(at(n - i));
      if (negative) {
        for (std::size_t i = 1; i <= n; ++i)
          out[i] = static_cast<std::uint8_t>(~out[i]);
      }
      break;
    }
    case SegmentOrder::kPackedDecimal: {
      std::array<std::uint8_t, 2 * kMaxDecimalLength> digits{};
      const std::size_t count = 2 * n - 1;
      for (std::size_t i = 0; i < count; ++i)
        digits[i] = static_cast<std::uint8_t>(i % 2 == 0 ? at(i / 2) >> 4 : at(i / 2) & 0x0F);
      const unsigned sign = at(n - 1) & 0x0F;
      WriteSignedDigits(sign == 0x0D || sign == 0x0B, std::span(digits.data(), count), out);
      break;
    }
    case SegmentOrder::kOverpunched:
    case SegmentOrder::kOverpunchedAscii: {
      std::array<std::uint8_t, kMaxDecimalLength> digits{};
      for (std::size_t i = 0; i + 1 < n; ++i)
        digits[i] = ZonedDigit(at(i));
      const unsigned last = at(n - 1);
      bool negative = false;
      std::uint8_t digit = ZonedDigit(last);
      if (order == SegmentOrder::kOverpunched) {
        if (last == '{' || last == '}') {
          digit = 0;
          negative = last == '}';
        } else if (last >= 'A' && last <= 'I') {
          digit = static_cast<std::uint8_t>(last - 'A' + 1);
        } else if (last >= 'J' && last <= 'R') {
          digit = static_cast<std::uint8_t>(last - 'J' + 1);
          negative = true;
        }
      } else if (last >= 'p' && last <= 'y') {
        digit = static_cast<std::uint8_t>(last - 'p');
        negative = true;
      }
      digits[n - 1] = digit;
      WriteSignedDigits(negative, std::span(digits.data(), n), out);
      break;
    }
    case SegmentOrder::kTrailingSign: {
      std::array<std::uint8_t, kMaxDecimalLength> digits{};
      for (std::size_t i = 0; i + 1 < n; ++i)
        digits[i] = ZonedDigit(at(i));
      WriteSignedDigits(at(n - 1) == '-', std::span(digits.data(), n - 1), out);
      break;
    }
    default:
      break;
  }
}

SegmentOrder ClassifySegment(std::uint16_t flags, std::uint8_t type, std::uint16_t length) {
  const SegmentOrder order = ClassifyType(flags, type, length);
  if (CollationOf(flags) != Collation::kNone && !IsTextType(flags, type)) {
    return SegmentOrder::kUnsupported;
  }
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

int CompareKeyValues(const KeySpec& key, std::span<const std::byte> left,
                     std::span<const std::byte> right) {
  std::size_t offset = 0;
  for (const SegmentSpec& segment : key.segments) {
    const int result = CompareSegment(segment, left.subspan(offset, segment.length),
                                      right.subspan(offset, segment.length));
    if (result != 0) return result;
    offset += segment.length;
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
