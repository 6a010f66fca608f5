// TBasisDatei: a library file in the older "16Bit" record layout. Record 1 starts with L, the data
// length of one entry; an entry is L data bytes and a 10-byte trailer, in one record when that fits
// 2042 bytes, else split over consecutive records of 2024 data bytes each. Records are addressed by
// their record number, key 0 of the file.
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

class TBasisDatei {
 public:
  static constexpr std::uint16_t kMaxRecordLength = 2042;
  static constexpr std::uint16_t kSplitRecordLength = 2034;
  static constexpr std::uint16_t kSplitPartLength = 2024;
  static constexpr std::uint16_t kTrailerLength = 10;

  // Create: opens the file through `context`'s record manager with the key number `openMode &
  // 0xFF`, reads record 1 into `header`, works out the layout from its first two bytes and counts
  // the entries into `count`. `header` is the caller's record buffer, which later receives every
  // entry: a layout whose entry (or, split, one whole record) would not fit it is refused with
  // Status() 22 and `count` 0. A failed Open leaves `header` and `count` untouched; a failed header
  // read or count query sets `count` to 0.
  TBasisDatei(LibraryFileContext& context, std::string_view fileName, std::span<std::byte> header,
              std::int32_t& count, std::int16_t openMode);
  // Destroy: closes the file, whether or not it is open.
  ~TBasisDatei();

  TBasisDatei(const TBasisDatei&) = delete;
  TBasisDatei& operator=(const TBasisDatei&) = delete;

  // Reads entry `index` (from 1) into `buffer` and its 10 trailer bytes into `trailer`. A buffer
  // that cannot hold the entry is refused (Status() 22, nothing read). Returns whether the entry's
  // data arrived: every part was read and each read answered 0 or 22.
  bool ReadEntry(std::int32_t index, std::span<std::byte> buffer,
                 std::span<std::byte, kTrailerLength> trailer);

  // Reads entries 1, 2, ... count through ReadEntry and calls `take(index, arrived, trailer)` after
  // each (the same shape as TBasisDatei32::ReadEntries; an entry here may span several records).
  template <typename Take>
  void ReadEntries(std::int32_t count, std::span<std::byte> buffer, Take&& take) {
    for (std::int32_t index = 1; index <= count; ++index) {
      std::array<std::byte, kTrailerLength> trailer{};
      const bool arrived = ReadEntry(index, buffer, trailer);
      take(index, arrived, std::span<const std::byte, kTrailerLength>(trailer));
    }
  }

  // Closes the file; the status is also kept in Status().
  std::uint16_t Close();

  [[nodiscard]] std::uint16_t Status() const { return m_status; }
  [[nodiscard]] std::uint16_t PartsPerEntry() const { return m_partsPerEntry; }
  [[nodiscard]] std::uint8_t HeaderRecords() const { return m_headerRecords; }
  [[nodiscard]] std::uint16_t EntryLength() const { return m_entryLength; }
  [[nodiscard]] std::uint16_t RecordLength() const { return m_recordLength; }
  [[nodiscard]] std::uint16_t LastPartLength() const { return m_lastPartLength; }
  [[nodiscard]] std::uint16_t PartLength() const { return m_partLength; }
  // L, the length of an entry's data part, which bounds its text.
  [[nodiscard]] std::size_t EntryDataLength() const { return m_dataLength; }
  // The bytes a buffer must hold to receive one entry.
  [[nodiscard]] std::size_t RequiredBufferSize() const;
  [[nodiscard]] const std::string& FileName() const { return m_channel.FileName(); }
  // The record manager's token for the unchanged contents of the open file; null when unknown.
  [[nodiscard]] std::shared_ptr<const void> Snapshot() const { return m_channel.Snapshot(); }

 private:
  [[nodiscard]] bool WorkOutLayout(std::uint16_t dataLength, std::size_t bufferSize);
  [[nodiscard]] std::int32_t FirstRecordOf(std::int32_t index) const;

  FileChannel m_channel;  // the whole path and the position block
  std::uint16_t m_status = 0;
  std::uint16_t m_partsPerEntry = 0;
  std::uint8_t m_headerRecords = 0;
  std::uint16_t m_entryLength = 0;
  std::uint16_t m_recordLength = 0;
  std::uint16_t m_lastPartLength = 0;
  std::uint16_t m_partLength = 0;
  std::uint16_t m_dataLength = 0;
  KeyBuffer m_recordKey{};
};

}  // namespace libfile
