// Number conversion: what succeeds, and the value a failure leaves behind.
#include "text/number.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string_view>

namespace text {
namespace {

struct Case {
  std::string_view input;
  std::int32_t value;
  bool ok;
};

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(ConvertNumber, MatchesTable) {
  const Case cases[] = {
      // Decimal, with and without sign, and the 32-bit boundaries.
      {"0", 0, true},
      {"12", 12, true},
      {"+12", 12, true},
      {"-12", -12, true},
      {"007", 7, true},
      {"2147483647", 2147483647, true},
      {"-2147483648", kMin, true},
      {"2147483648", 214748364, false},
      {"-2147483649", 214748364, false},
      {"+2147483648", 214748364, false},
      {"99999999999", 999999999, false},
      // Leading blanks are skipped; anything else around the digits fails.
      {" 12", 12, true},
      {"   -3", -3, true},
      {"12 ", 12, false},
      {"\t12", 0, false},
      {"- 5", 0, false},
      {"1 2", 1, false},
      {"-5x", 5, false},
      {"12]", 12, false},
      {"3,4", 3, false},
      {"-2147483648x", kMin, false},
      // Empty texts and lone signs.
      {"", 0, false},
      {"   ", 0, false},
      {"+", 0, false},
      {"-", 0, false},
      {"+-1", 0, false},
      // Hexadecimal after each prefix, in either letter case.
      {"$1A", 26, true},
      {"$1a", 26, true},
      {"x10", 16, true},
      {"X10", 16, true},
      {"0x10", 16, true},
      {"0XfF", 255, true},
      {" $10", 16, true},
      {"$7FFFFFFF", 2147483647, true},
      {"$80000000", kMin, true},
      {"$FFFFFFFF", -1, true},
      {"$000000001", 1, true},
      {"$0000000000", 0, true},
      {"$123456789", 0x12345678, false},
      {"$FFFFFFFF0", -1, false},
      {"$1G", 1, false},
      {"$10 ", 16, false},
      // Prefixes without digits, and signs before a prefix.
      {"$", 0, false},
      {"x", 0, false},
      {"0x", 0, false},
      {"-$10", 0, false},
      {"+$10", 0, false},
      {"-x1", 0, false},
      {"-0x10", 0, false},
      {"$-1", 0, false},
      {"$ 1", 0, false},
      {"00x1", 0, false},
  };
  for (const Case& c : cases) {
    const NumberConversion result = ConvertNumber(c.input);
    EXPECT_EQ(result.ok, c.ok) << '"' << c.input << '"';
    EXPECT_EQ(result.value, c.value) << '"' << c.input << '"';
  }
}

}  // namespace
}  // namespace text
