// Upper-casing limited to a to z, so that bytes of the 8-bit code page never change.
#include "text/case.h"

#include <algorithm>

namespace text {
namespace {

char UpperCaseByte(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::string UpperCase(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), UpperCaseByte);
  return result;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return UpperCaseByte(x) == UpperCaseByte(y); });
}

}  // namespace text
