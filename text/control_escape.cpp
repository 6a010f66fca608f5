// Escaping of control characters for terminals (see control_escape.h).
#include "text/control_escape.h"

#include <cstddef>
#include <cstdint>

namespace text {

namespace {

constexpr char kHex[] = "0123456789abcdef";

}  // namespace

std::string ByteEscape(unsigned char byte) {
  return {'\\', 'x', kHex[byte >> 4], kHex[byte & 0x0F]};
}

void AppendControlsEscaped(std::string& out, std::string_view utf8, bool tabEscapes) {
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto byte = static_cast<std::uint8_t>(utf8[i]);
    if (byte >= 0x20 && byte < 0x7F) {
      if (tabEscapes && byte == '\\') {
        out += "\\\\";
      } else {
        out += static_cast<char>(byte);
      }
      ++i;
      continue;
    }
    if (byte < 0x80) {
      if (tabEscapes && byte == '\t') {
        out += "\\t";
      } else if (tabEscapes && byte == '\n') {
        out += "\\n";
      } else if (tabEscapes && byte == '\r') {
        out += "\\r";
      } else {
        out += ByteEscape(byte);
      }
      ++i;
      continue;
    }
    const std::size_t length = Utf8SequenceLength(utf8.substr(i));
    if (length == 0) {
      if (byte <= 0x9F) {
        out += ByteEscape(byte);
      } else {
        out += static_cast<char>(byte);
      }
      ++i;
      continue;
    }
    const auto second = static_cast<std::uint8_t>(utf8[i + 1]);
    if (byte == 0xC2 && second <= 0x9F) {
      out += "\\u00";
      out += kHex[second >> 4];
      out += kHex[second & 0x0F];
    } else {
      out.append(utf8, i, length);
    }
    i += length;
  }
}

std::string ControlsEscaped(std::string_view utf8) {
  std::string escaped;
  escaped.reserve(utf8.size());
  AppendControlsEscaped(escaped, utf8);
  return escaped;
}

}  // namespace text
