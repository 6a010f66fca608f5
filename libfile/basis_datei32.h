// TBasisDatei32: a library file in the current record layout. Each record is the entry's data
// followed by a 16-byte trailer whose first four bytes are the entry number, key 0 of the file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "libfile/file_channel.h"
#include "libfile/key_value.h"
#include "libfile/library_file_context.h"

namespace libfile {

class TBasisDatei32 {
 public:
  static constexpr std::uint16_t kMaxRecordLength = 4090;
  static constexpr std::uint16_t kTrailerLength = 16;

  // Create: opens the file read through `context`'s record manager with the key number `openMode &
  // 0xFF`, asks for its record length (the Stat reply lands in `header`, of which at most 4090
  // bytes are used) and takes the highest entry number into `count`. The outcome is read from
  // Status(), DataLength() and `count`: a failed Open leaves `count` untouched; a failed count
  // query sets it to 0.
  TBasisDatei32(LibraryFileContext& context, std::string_view fileName, std::span<std::byte> header,
                std::int32_t& count, std::int16_t openMode);
  // Destroy: closes the file, whether or not it is open.
  ~TBasisDatei32();

  TBasisDatei32(const TBasisDatei32&) = delete;
  TBasisDatei32& operator=(const TBasisDatei32&) = delete;

  // Reads entry k into `buffer` (which should hold RecordLength() bytes; a shorter one gets what
  // fits) and copies the 16 bytes at offset DataLength() of `buffer` to `trailer`, whatever the
  // status. Returns whether the entry's data arrived (the read answered 0, or 22: the buffer got
  // what fits).
  bool ReadEntry(std::int32_t k, std::span<std::byte> buffer,
                 std::span<std::byte, kTrailerLength> trailer);

  // Closes the file; the status is also kept in Status().
  std::uint16_t Close();

  [[nodiscard]] std::uint16_t Status() const { return m_status; }
  [[nodiscard]] std::uint16_t RecordLength() const { return m_recordLength; }
  [[nodiscard]] std::uint16_t DataLength() const { return m_dataLength; }
  // The length of an entry's data part, R - 16, which bounds its text.
  [[nodiscard]] std::size_t EntryDataLength() const { return m_dataLength; }
  [[nodiscard]] const std::string& FileName() const { return m_channel.FileName(); }
  // The record manager's token for the unchanged contents of the open file; null when unknown.
  [[nodiscard]] std::shared_ptr<const void> Snapshot() const { return m_channel.Snapshot(); }

 private:
  FileChannel m_channel;  // the whole path and the position block
  std::uint16_t m_status = 0;
  std::uint16_t m_recordLength = 0;
  std::uint16_t m_dataLength = 0;
  KeyBuffer m_recordKey{};
};

}  // namespace libfile
