// Writer-built record files for the tests (see written_file.h).
#include "written_file.h"

#include <utility>

namespace btrieve::test {

WrittenFile::WrittenFile(const writer::FileSpec& spec, const std::string& name)
    : m_path(m_dir.Path() / name), m_built(writer::Build(spec)) {
  Save();
}

void WrittenFile::SetByte(std::size_t offset, std::uint8_t value) {
  m_built.bytes.at(offset) = std::byte{value};
  Save();
}

void WrittenFile::SetU16(std::size_t offset, std::uint16_t value) {
  m_built.bytes.at(offset) = static_cast<std::byte>(value & 0xFF);
  m_built.bytes.at(offset + 1) = static_cast<std::byte>(value >> 8);
  Save();
}

void WrittenFile::SetWs32(std::size_t offset, std::uint32_t value) {
  SetU16(offset, static_cast<std::uint16_t>(value >> 16));
  SetU16(offset + 2, static_cast<std::uint16_t>(value & 0xFFFF));
}

void WrittenFile::Truncate(std::size_t size) {
  m_built.bytes.resize(size);
  Save();
}

void WrittenFile::Replace(std::vector<std::byte> bytes) {
  m_built.bytes = std::move(bytes);
  Save();
}

std::uint16_t WrittenFile::OpenStatus() const {
  Handle handle;
  return handle.Open(Path());
}

void WrittenFile::Save() const {
  WriteBytes(m_path, m_built.bytes);
}

std::vector<std::byte> NumberedRecord(std::int32_t id, std::uint16_t length) {
  std::vector<std::byte> record = Le(id, 4);
  const std::vector<std::byte> text = Text("record " + std::to_string(id), length - 4U);
  record.insert(record.end(), text.begin(), text.end());
  return record;
}

std::vector<std::vector<std::byte>> NumberedRecords(const std::vector<std::int32_t>& ids,
                                                    std::uint16_t length) {
  std::vector<std::vector<std::byte>> records;
  for (const std::int32_t id : ids)
    records.push_back(NumberedRecord(id, length));
  return records;
}

}  // namespace btrieve::test
