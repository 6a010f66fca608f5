// Escaping of control characters for terminals (see control_escape.h).
#include "text/control_escape.h"

#include <cstddef>
#include <cstdint>

namespace text {

namespace {

constexpr char kHex[] = "0123456789abcdef";

// The length of the well-formed UTF-8 sequence at `at`, or 0 when there is none.
std::size_t SequenceLength(std::string_view bytes, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[at + i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length = 0;
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (bytes.size() - at < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

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
    const std::size_t length = SequenceLength(utf8, i);
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
