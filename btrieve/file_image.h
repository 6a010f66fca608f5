// The bytes of one whole file as the parser and the sessions see them: either a buffer the reader
// filled or a read-only mapping of the file. Cheap to move; the bytes stay put for its lifetime.
#pragma once

#include <cstddef>
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
    m_keeper = std::move(owned);
  }

  // Bytes owned by `keeper` (a mapping whose deleter unmaps it, for instance).
  FileImage(std::span<const std::byte> bytes, std::shared_ptr<const void> keeper)
      : m_bytes(bytes), m_keeper(std::move(keeper)) {}

  [[nodiscard]] std::span<const std::byte> Bytes() const { return m_bytes; }
  [[nodiscard]] std::size_t Size() const { return m_bytes.size(); }

 private:
  std::span<const std::byte> m_bytes;
  std::shared_ptr<const void> m_keeper;
};

}  // namespace btrieve
