// The 4-byte key buffers of the library files hold a little-endian 32-bit integer, whatever the
// host's byte order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace libfile {

using KeyBuffer = std::array<std::byte, 4>;

[[nodiscard]] inline KeyBuffer EncodeKey(std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  return {std::byte(bits & 0xFF), std::byte((bits >> 8) & 0xFF), std::byte((bits >> 16) & 0xFF),
          std::byte((bits >> 24) & 0xFF)};
}

[[nodiscard]] inline std::int32_t DecodeKey(const KeyBuffer& key) {
  const std::uint32_t bits = std::to_integer<std::uint32_t>(key[0]) |
                             (std::to_integer<std::uint32_t>(key[1]) << 8) |
                             (std::to_integer<std::uint32_t>(key[2]) << 16) |
                             (std::to_integer<std::uint32_t>(key[3]) << 24);
  return static_cast<std::int32_t>(bits);
}

}  // namespace libfile
