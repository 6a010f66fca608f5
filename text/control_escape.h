// Text for a terminal: control characters written as escapes, so that no name or entry text can
// move the cursor, clear the screen, set a title, write the clipboard or ring the bell.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace text {

// Appends `utf8` with each C0 control byte and DEL as \xHH (two lower-case hexadecimal digits),
// each C1 control U+0080 to U+009F as \u00HH, and each byte 0x80 to 0x9F that is not part of a
// well-formed UTF-8 sequence as \xHH; everything else is copied. With `tabEscapes`, tab, newline,
// carriage return and backslash become \t \n \r \\ instead (the escaping of kl7's text rows).
void AppendControlsEscaped(std::string& out, std::string_view utf8, bool tabEscapes = false);

// The same, as a new string: one message line.
[[nodiscard]] std::string ControlsEscaped(std::string_view utf8);

// The escape of one byte: "\x" and two lower-case hexadecimal digits.
[[nodiscard]] std::string ByteEscape(unsigned char byte);

// The length of the well-formed UTF-8 sequence at the start of `bytes`: 1 for an ASCII byte, 2 to
// 4 for a longer one, 0 when there is none (nothing, a stray byte, an overlong form, a surrogate,
// a sequence cut short). Inline: the writers of text rows ask it for every non-ASCII character.
[[nodiscard]] inline std::size_t Utf8SequenceLength(std::string_view bytes) {
  if (bytes.empty()) return 0;
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
  const std::uint8_t lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (bytes.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace text
