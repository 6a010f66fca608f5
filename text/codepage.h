// Windows-1252, the 8-bit code page of the entry texts, to and from Unicode (UTF-16 and UTF-8).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace text {

// The Unicode character of one byte. Every byte has one: the five bytes that Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the same value, as
// Windows itself maps them, so every byte string survives a round trip.
[[nodiscard]] char16_t Cp1252ToUnicode(std::uint8_t byte);

// The byte of one UTF-16 code unit; empty when the character has none in the code page.
[[nodiscard]] std::optional<std::uint8_t> UnicodeToCp1252(char16_t character);

// Whole texts. The conversions to Unicode cannot fail; the ones back return empty when any
// character has no byte (or, for UTF-8, when the input is not well-formed UTF-8).
[[nodiscard]] std::u16string Cp1252ToUtf16(std::string_view bytes);
[[nodiscard]] std::optional<std::string> Utf16ToCp1252(std::u16string_view characters);
[[nodiscard]] std::string Cp1252ToUtf8(std::string_view bytes);
[[nodiscard]] std::optional<std::string> Utf8ToCp1252(std::string_view utf8);

// The characters of a UTF-8 text; each malformed sequence reads as U+FFFD.
[[nodiscard]] std::u32string Utf8ToUtf32(std::string_view utf8);

}  // namespace text
