// One library file's road to the record manager: its whole path, its position block, and the Open
// and Close calls that both library-file classes issue alike.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "libfile/library_file_context.h"

namespace libfile {

class FileChannel {
 public:
  static constexpr std::size_t kPositionBlockSize = 332;

  // Keeps the whole path, so that a name of any length reaches the record manager with its zero
  // byte.
  FileChannel(LibraryFileContext& context, std::string_view fileName);

  FileChannel(const FileChannel&) = delete;
  FileChannel& operator=(const FileChannel&) = delete;

  // Open with an empty owner name; the low byte of `openMode` is the key number.
  [[nodiscard]] std::uint16_t Open(std::int16_t openMode);
  [[nodiscard]] std::uint16_t Close();
  // Any other operation through the call wrapper, with this file's position block.
  [[nodiscard]] std::uint16_t Call(std::uint16_t operation, std::uint16_t dataLength,
                                   void* dataBuffer, void* keyBuffer, std::uint8_t keyLength,
                                   std::int8_t keyNumber);

  // A run of Get operations with this file's position block (RecordManager::RunGets).
  void RunGets(btrieve::GetRun& run) { m_context.recordManager.RunGets(m_posBlock.data(), run); }
  // A walk of this file's records in key `keyNumber` (RecordManager::WalkFirst).
  [[nodiscard]] std::uint16_t WalkFirst(std::int8_t keyNumber, btrieve::RecordWalk& walk) {
    return m_context.recordManager.WalkFirst(m_posBlock.data(), keyNumber, walk);
  }

  // The record manager's token for the contents of the open file (see RecordManager::Snapshot).
  [[nodiscard]] std::shared_ptr<const void> Snapshot() const {
    return m_context.recordManager.Snapshot(m_posBlock.data());
  }

  [[nodiscard]] LibraryFileContext& Context() { return m_context; }
  [[nodiscard]] const std::string& FileName() const { return m_fileName; }

 private:
  LibraryFileContext& m_context;
  std::string m_fileName;
  std::array<std::byte, kPositionBlockSize> m_posBlock{};
  std::byte m_ownerName{0};  // the empty owner name of Open, and Close's data buffer
};

}  // namespace libfile
