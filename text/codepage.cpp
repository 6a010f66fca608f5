// The fixed Windows-1252 table. Only 0x80 to 0x9F differ from Latin-1, so only those 32 are listed.
#include "text/codepage.h"

#include <array>
#include <cstddef>

namespace text {
namespace {

constexpr std::uint8_t kTableStart = 0x80;
constexpr std::uint8_t kTableEnd = 0xA0;

// Unicode characters of the bytes 0x80 to 0x9F.
constexpr std::array<char16_t, kTableEnd - kTableStart> kHighControls = {
    u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
    u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178',
};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    // Every character of the table lies in the Basic Multilingual Plane: three bytes at most.
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one well-formed UTF-8 sequence at the front of `in` and removes it; empty on malformed
// input (stray or missing continuation bytes, overlong forms, surrogates, values above U+10FFFF).
std::optional<char32_t> TakeUtf8(std::string_view& in) {
  const auto lead = static_cast<std::uint8_t>(in.front());
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    in.remove_prefix(1);
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2;
    value = lead & 0x1F;
    minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    value = lead & 0x0F;
    minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    value = lead & 0x07;
    minimum = 0x10000;
  } else {
    return std::nullopt;
  }
  if (in.size() < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<std::uint8_t>(in[i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return std::nullopt;
  }
  in.remove_prefix(length);
  return value;
}

}  // namespace

char16_t Cp1252ToUnicode(std::uint8_t byte) {
  if (byte >= kTableStart && byte < kTableEnd) return kHighControls[byte - kTableStart];
  return byte;
}

std::optional<std::uint8_t> UnicodeToCp1252(char16_t character) {
  if (character < kTableStart || (character >= kTableEnd && character <= 0xFF)) {
    return static_cast<std::uint8_t>(character);
  }
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == character) return static_cast<std::uint8_t>(kTableStart + i);
  }
  return std::nullopt;
}

std::u16string Cp1252ToUtf16(std::string_view bytes) {
  std::u16string result;
  result.reserve(bytes.size());
  for (const char b : bytes)
    result += Cp1252ToUnicode(static_cast<std::uint8_t>(b));
  return result;
}

std::optional<std::string> Utf16ToCp1252(std::u16string_view characters) {
  std::string result;
  result.reserve(characters.size());
  for (const char16_t c : characters) {
    const std::optional<std::uint8_t> byte = UnicodeToCp1252(c);
    if (!byte) return std::nullopt;
    result += static_cast<char>(*byte);
  }
  return result;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string result;
  result.reserve(bytes.size());
  for (const char b : bytes)
    AppendUtf8(result, Cp1252ToUnicode(static_cast<std::uint8_t>(b)));
  return result;
}

std::optional<std::string> Utf8ToCp1252(std::string_view utf8) {
  std::string result;
  result.reserve(utf8.size());
  while (!utf8.empty()) {
    const std::optional<char32_t> c = TakeUtf8(utf8);
    if (!c || *c > 0xFFFF) return std::nullopt;
    const std::optional<std::uint8_t> byte = UnicodeToCp1252(static_cast<char16_t>(*c));
    if (!byte) return std::nullopt;
    result += static_cast<char>(*byte);
  }
  return result;
}

std::u32string Utf8ToUtf32(std::string_view utf8) {
  std::u32string result;
  result.reserve(utf8.size());
  while (!utf8.empty()) {
    if (const std::optional<char32_t> c = TakeUtf8(utf8)) {
      result += *c;
    } else {
      result += U'\uFFFD';
      utf8.remove_prefix(1);
    }
  }
  return result;
}

}  // namespace text
