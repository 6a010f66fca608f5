// Text to signed 32-bit number, with the partial value that a failed conversion leaves behind.
#include "text/number.h"

#include <cstddef>

namespace text {
namespace {

constexpr std::uint32_t kMaxPositive = 2147483647u;
constexpr std::uint32_t kMaxNegativeMagnitude = 2147483648u;
constexpr int kMaxHexDigits = 8;

NumberConversion Failure(std::uint32_t magnitude) {
  return {static_cast<std::int32_t>(magnitude), false};
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

NumberConversion ConvertDecimal(std::string_view digits, bool negative) {
  if (digits.empty()) return Failure(0);
  const std::uint32_t limit = negative ? kMaxNegativeMagnitude : kMaxPositive;
  std::uint32_t magnitude = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return Failure(magnitude);
    const auto digit = static_cast<std::uint32_t>(c - '0');
    if (magnitude > (limit - digit) / 10) return Failure(magnitude);
    magnitude = magnitude * 10 + digit;
  }
  // Negating in unsigned arithmetic keeps -2147483648 representable on the way.
  return {static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude), true};
}

NumberConversion ConvertHex(std::string_view digits) {
  if (digits.empty()) return Failure(0);
  std::uint32_t value = 0;
  int significant = 0;
  for (const char c : digits) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return Failure(value);
    if (value != 0 || digit != 0) {
      if (significant == kMaxHexDigits) return Failure(value);
      ++significant;
    }
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return {static_cast<std::int32_t>(value), true};
}

// Length of the hexadecimal prefix at the start of `text`, 0 when there is none.
std::size_t HexPrefixLength(std::string_view text) {
  if (text.empty()) return 0;
  if (text[0] == '$' || text[0] == 'x' || text[0] == 'X') return 1;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return 2;
  return 0;
}

}  // namespace

NumberConversion ConvertNumber(std::string_view text) {
  const std::size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return Failure(0);
  text.remove_prefix(start);

  bool hasSign = false;
  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    hasSign = true;
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (const std::size_t prefix = HexPrefixLength(text); prefix != 0) {
    if (hasSign) return Failure(0);
    return ConvertHex(text.substr(prefix));
  }
  return ConvertDecimal(text, negative);
}

}  // namespace text
