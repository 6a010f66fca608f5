// The bytes of one whole file as the parser and the sessions see them: a buffer the reader filled.
// Cheap to move; the bytes stay put for its lifetime.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

namespace btrieve {

class FileImage {
 public:
  FileImage() = default;

  // Takes over a filled buffer.
  explicit FileImage(std::vector<std::byte> bytes) {
    auto owned = std::make_shared<std::vector<std::byte>>(std::move(bytes));
    m_bytes = std::span<const std::byte>(*owned);
    m_held = owned->capacity();
    m_keeper = std::move(owned);
  }

  // Bytes owned by `keeper`, which holds `held` bytes of memory for them (at least bytes.size()).
  FileImage(std::span<const std::byte> bytes, std::shared_ptr<const void> keeper, std::size_t held)
      : m_bytes(bytes), m_keeper(std::move(keeper)), m_held(held) {}

  [[nodiscard]] std::span<const std::byte> Bytes() const { return m_bytes; }
  [[nodiscard]] std::size_t Size() const { return m_bytes.size(); }
  // The memory the image keeps, which may be more than its bytes (whole huge pages).
  [[nodiscard]] std::size_t HeldBytes() const { return m_held; }

  // The size of the file the image was read from: its bytes are the start of that file, which
  // may hold more that nothing refers to.
  [[nodiscard]] std::uint64_t FileSize() const {
    return std::max<std::uint64_t>(m_fileSize, Size());
  }
  void SetFileSize(std::uint64_t size) { m_fileSize = size; }

 private:
  std::span<const std::byte> m_bytes;
  std::shared_ptr<const void> m_keeper;
  std::size_t m_held = 0;
  std::uint64_t m_fileSize = 0;
};

}  // namespace btrieve
