// TBasisDatei: a library file in the older "16Bit" record layout. Record 1 starts with L, the data
// length of one entry; an entry is L data bytes and a 10-byte trailer, in one record when that fits
// 2042 bytes, else split over consecutive records of 2024 data bytes each. Records are addressed by
// their record number, key 0 of the file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "btrieve/get_run.h"
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

  // Reads entries 1, 2, ... count as that many ReadEntry calls would, in one run of the record
  // manager (FileChannel::RunGets), and calls `take(index, arrived, trailer)` after each with
  // `buffer`, Status() and the trailer as ReadEntry(index, ...) would have left them (the same
  // shape as TBasisDatei32::ReadEntries; an entry here may span several records).
  template <typename Take>
  void ReadEntries(std::int32_t count, std::span<std::byte> buffer, Take&& take);

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
  // The Gets that read one entry, in the order ReadEntry issues them: Next gives a step's data
  // buffer, data length and operation (the key is the file's record key, key 0, 4 bytes), false
  // when the entry is read; Answer takes the step's status. Status(), `buffer` and `trailer` are
  // then as ReadEntry leaves them, and Arrived() what it returns.
  class EntrySteps {
   public:
    EntrySteps(TBasisDatei& file, std::int32_t index, std::span<std::byte> buffer,
               std::span<std::byte, kTrailerLength> trailer);
    bool Next(std::uint16_t& operation, void*& dataBuffer, std::uint16_t& dataLength);
    void Answer(std::uint16_t status);
    [[nodiscard]] bool Arrived() const { return m_arrived; }

   private:
    enum class Stage { kFirst, kPart, kReposition, kDone };
    void EndParts();

    TBasisDatei& m_file;
    std::int32_t m_firstRecord = 0;
    std::span<std::byte> m_buffer;
    std::span<std::byte, kTrailerLength> m_trailer;
    Stage m_stage = Stage::kDone;
    std::uint16_t m_part = 2;
    bool m_arrived = false;
  };

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

template <typename Take>
void TBasisDatei::ReadEntries(std::int32_t count, std::span<std::byte> buffer, Take&& take) {
  class Run final : public btrieve::GetRun {
   public:
    Run(TBasisDatei& file, std::int32_t count, std::span<std::byte> buffer, Take& take)
        : m_file(file), m_count(count), m_buffer(buffer), m_take(take) {}

    bool Next(std::uint16_t& operation, void*& dataBuffer, std::uint32_t& dataLength,
              void*& keyBuffer, std::uint8_t& keyLength, std::int8_t& keyNumber) override {
      for (;;) {
        if (!m_steps) {
          if (m_index >= m_count) return false;
          ++m_index;
          m_trailer = {};
          m_steps.emplace(m_file, m_index, m_buffer, m_trailer);
        }
        std::uint16_t length = 0;
        if (m_steps->Next(operation, dataBuffer, length)) {
          dataLength = length;
          keyBuffer = m_file.m_recordKey.data();
          keyLength = static_cast<std::uint8_t>(m_file.m_recordKey.size());
          keyNumber = 0;
          return true;
        }
        // The entry is read: handed over before the next one begins.
        const bool arrived = m_steps->Arrived();
        m_steps.reset();
        m_take(m_index, arrived, std::span<const std::byte, kTrailerLength>(m_trailer));
      }
    }

    void Answer(std::uint16_t status, std::uint32_t /*dataLength*/) override {
      m_steps->Answer(status);
    }

   private:
    TBasisDatei& m_file;
    std::int32_t m_count;
    std::span<std::byte> m_buffer;
    Take& m_take;
    std::int32_t m_index = 0;
    std::array<std::byte, kTrailerLength> m_trailer{};
    std::optional<EntrySteps> m_steps;
  };
  Run run(*this, count, buffer, take);
  m_channel.RunGets(run);
}

}  // namespace libfile
