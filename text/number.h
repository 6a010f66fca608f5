// Conversion of text to a signed 32-bit number: decimal with an optional sign, or hexadecimal after
// "$", "x", "X", "0x" or "0X".
#pragma once

#include <cstdint>
#include <string_view>

namespace text {

// The outcome of ConvertNumber. On failure `value` still holds what was read up to the failing
// character, without its sign; callers that only care about success test `ok`.
struct NumberConversion {
  std::int32_t value = 0;
  bool ok = false;
};

// Reads `text` as a signed 32-bit number.
// - Leading blanks are skipped; only the space character counts as a blank.
// - Decimal: an optional "+" or "-", then one or more digits; the value must lie within
//   -2147483648 .. 2147483647.
// - Hexadecimal: "$", "x", "X", "0x" or "0X", then one or more digits in either letter case, at
// most
//   eight significant ones (leading zeros do not count); the 32 bits are taken as signed, so
//   $FFFFFFFF is -1. No sign may stand before the prefix.
// Fails on an empty text, a sign or prefix without digits, a sign before a hexadecimal prefix
// (value 0), any other character, a trailing blank included (value read before it), and on overflow
// (value read before the digit that overflowed). A failure's magnitude is reported modulo 2^32, so
// the one magnitude that does not fit, 2147483648 from "-2147483648" followed by a bad character,
// reads as -2147483648.
[[nodiscard]] NumberConversion ConvertNumber(std::string_view text);

}  // namespace text
