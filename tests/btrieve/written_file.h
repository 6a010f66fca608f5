// A record file built by the writer in its own temporary directory, with verbs that damage it in
// place (each verb rewrites the file on disk).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "btrieve/writer/writer.h"
#include "test_support.h"

namespace btrieve::test {

class WrittenFile {
 public:
  explicit WrittenFile(const writer::FileSpec& spec, const std::string& name = "TEST.DAT");

  [[nodiscard]] std::string Path() const { return m_path.string(); }
  [[nodiscard]] const std::filesystem::path& Dir() const { return m_dir.Path(); }
  [[nodiscard]] const writer::Layout& Layout() const { return m_built.layout; }
  [[nodiscard]] const std::vector<std::byte>& Bytes() const { return m_built.bytes; }
  [[nodiscard]] std::size_t PageOffset(std::uint32_t page) const {
    return std::size_t{page} * m_built.layout.pageSize;
  }

  void SetByte(std::size_t offset, std::uint8_t value);
  void SetU16(std::size_t offset, std::uint16_t value);
  void SetWs32(std::size_t offset, std::uint32_t value);  // high word first
  void Truncate(std::size_t size);
  void Replace(std::vector<std::byte> bytes);

  // Opens the file through a fresh position block and returns the Open status.
  [[nodiscard]] std::uint16_t OpenStatus() const;

 private:
  void Save() const;

  TempDir m_dir;
  std::filesystem::path m_path;
  writer::BuiltFile m_built;
};

// Records of `length` bytes: a 4-byte INTEGER id at offset 0, then "record <id>" text, zero-padded.
std::vector<std::byte> NumberedRecord(std::int32_t id, std::uint16_t length);
std::vector<std::vector<std::byte>> NumberedRecords(const std::vector<std::int32_t>& ids,
                                                    std::uint16_t length);

}  // namespace btrieve::test
