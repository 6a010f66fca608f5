// A bounded little-endian reader over a byte image. Every read names an absolute offset; a read
// that does not fit inside the image yields zero and marks the reader as failed, so a caller may
// decode a whole structure and test Ok() once instead of checking each field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace btrieve {

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::byte> bytes) : m_bytes(bytes) {}

  // True when [offset, offset + count) lies inside the image. Never forms a pointer past the end.
  [[nodiscard]] bool Fits(std::uint64_t offset, std::uint64_t count) const {
    return offset <= m_bytes.size() && count <= m_bytes.size() - offset;
  }

  [[nodiscard]] std::uint8_t U8(std::uint64_t offset) {
    if (!Require(offset, 1)) return 0;
    return Byte(offset);
  }

  [[nodiscard]] std::uint16_t U16(std::uint64_t offset) {
    if (!Require(offset, 2)) return 0;
    return static_cast<std::uint16_t>(Byte(offset) | (Byte(offset + 1) << 8));
  }

  [[nodiscard]] std::uint32_t U32(std::uint64_t offset) {
    if (!Require(offset, 4)) return 0;
    return static_cast<std::uint32_t>(Byte(offset)) |
           (static_cast<std::uint32_t>(Byte(offset + 1)) << 8) |
           (static_cast<std::uint32_t>(Byte(offset + 2)) << 16) |
           (static_cast<std::uint32_t>(Byte(offset + 3)) << 24);
  }

  // A "word-swapped" 32-bit value: two little-endian 16-bit words, the high word first.
  [[nodiscard]] std::uint32_t Ws32(std::uint64_t offset) {
    if (!Require(offset, 4)) return 0;
    const std::uint32_t high = static_cast<std::uint32_t>(Byte(offset) | (Byte(offset + 1) << 8));
    const std::uint32_t low =
        static_cast<std::uint32_t>(Byte(offset + 2) | (Byte(offset + 3) << 8));
    return (high << 16) | low;
  }

  // The span [offset, offset + count), or an empty span (and failure) when it does not fit.
  [[nodiscard]] std::span<const std::byte> Bytes(std::uint64_t offset, std::uint64_t count) {
    if (!Require(offset, count)) return {};
    return m_bytes.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(count));
  }

  [[nodiscard]] bool Ok() const { return m_ok; }
  [[nodiscard]] std::span<const std::byte> Whole() const { return m_bytes; }
  [[nodiscard]] std::size_t Size() const { return m_bytes.size(); }

 private:
  bool Require(std::uint64_t offset, std::uint64_t count) {
    if (Fits(offset, count)) return true;
    m_ok = false;
    return false;
  }
  [[nodiscard]] unsigned Byte(std::uint64_t offset) const {
    return std::to_integer<unsigned>(m_bytes[static_cast<std::size_t>(offset)]);
  }

  std::span<const std::byte> m_bytes;
  bool m_ok = true;
};

}  // namespace btrieve
