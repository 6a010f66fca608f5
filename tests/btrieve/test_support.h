// Helpers for the record-manager tests: a position block with call wrappers, temporary directories
// and file helpers, and the fixture folder.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "btrieve/btrieve.h"

namespace btrieve::test {

std::filesystem::path FixturesDir();

// A fresh, unique directory under the system temp directory, removed on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  [[nodiscard]] const std::filesystem::path& Path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

std::vector<std::byte> ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<std::byte>& bytes);

struct GetResult {
  std::uint16_t status = 0;
  std::vector<std::byte> data;  // resized to the returned data length
  std::vector<std::byte> key;   // the key buffer after the call
};

// One position block (zeroed, larger than the record manager needs, as callers pass) and the calls
// made through it. Closes on destruction.
class Handle {
 public:
  Handle() = default;
  ~Handle();
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  [[nodiscard]] std::uint16_t Open(const std::string& name, std::int8_t mode = -2);
  [[nodiscard]] std::uint16_t Close();
  [[nodiscard]] GetResult Stat(std::uint32_t dataLength = 4090);
  [[nodiscard]] GetResult Get(std::uint16_t operation, std::vector<std::byte> key,
                              std::uint32_t dataLength = 4090, std::int8_t keyNumber = 0,
                              std::uint8_t keyLength = 0);  // 0: the key vector's size
  [[nodiscard]] GetResult Call(std::uint16_t operation, std::uint32_t dataLength,
                               std::vector<std::byte> key, std::uint8_t keyLength,
                               std::int8_t keyNumber);
  [[nodiscard]] void* Block() { return m_block.data(); }

 private:
  std::array<std::byte, 332> m_block{};
};

// That the walks (WalkFirst, and WalkNext after Get First) in key `keyNumber` give what Get First
// and Get Next give record by record: the same statuses and bytes, the same end, and the position
// where a walk stops.
void ExpectWalkAsGetNext(const std::string& path, std::int8_t keyNumber = 0);

// Little-endian helpers for building and reading keys and records.
std::vector<std::byte> Le(std::int64_t value, std::size_t size);
std::int64_t ReadLe(const std::vector<std::byte>& bytes, std::size_t offset, std::size_t size,
                    bool isSigned);
std::vector<std::byte> Text(const std::string& text, std::size_t size);  // zero-padded

}  // namespace btrieve::test
