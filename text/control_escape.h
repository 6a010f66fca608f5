// Text for a terminal: control characters written as escapes, so that no name or entry text can
// move the cursor, clear the screen, set a title, write the clipboard or ring the bell.
#pragma once

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

}  // namespace text
