// TBasisDatei32: a library file in the current record layout. Each record is the entry's data
// followed by a 16-byte trailer whose first four bytes are the entry number, key 0 of the file.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "btrieve/btrieve.h"
#include "btrieve/get_run.h"
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

  // Reads entries 1, 2, ... count as that many ReadEntry calls would, in one run of the record
  // manager (FileChannel::RunGets), and calls `take(k, arrived, trailer)` after each with
  // `buffer`, Status() and the trailer as ReadEntry(k, ...) would have left them.
  template <typename Taker>
  void ReadEntries(std::int32_t count, std::span<std::byte> buffer, Taker&& take);

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
  // The trailer at DataLength() of `buffer`, as far as the buffer holds it; zeros beyond.
  void TakeTrailer(std::span<const std::byte> buffer,
                   std::span<std::byte, kTrailerLength> trailer) const;
  [[nodiscard]] bool Arrived() const {
    return m_status == btrieve::status::kSuccess ||
           m_status == btrieve::status::kDataBufferTooShort;
  }

  FileChannel m_channel;  // the whole path and the position block
  std::uint16_t m_status = 0;
  std::uint16_t m_recordLength = 0;
  std::uint16_t m_dataLength = 0;
  KeyBuffer m_recordKey{};
  // Key 0 is the entry number alone (see ReadEntries).
  bool m_entryNumberKey = false;
};

template <typename Taker>
void TBasisDatei32::ReadEntries(std::int32_t count, std::span<std::byte> buffer, Taker&& take) {
  const auto dataLength =
      static_cast<std::uint16_t>(std::min<std::size_t>(buffer.size(), m_recordLength));
  // Hands entry k over as ReadEntry(k, ...) would have left it.
  const auto hand = [&](std::int32_t k) {
    std::array<std::byte, kTrailerLength> trailer{};
    TakeTrailer(buffer, trailer);
    take(k, Arrived(), std::span<const std::byte, kTrailerLength>(trailer));
  };
  // Where key 0 is the entry number itself, one walk of the records in its order answers every
  // Get Equal of 1 .. count: a record of number k is what Get Equal k finds (the first of equal
  // ones), and a number without a record is not found.
  // What both ways of reading share.
  struct Reading {
    TBasisDatei32& file;
    std::int32_t count;
    std::span<std::byte> buffer;
    std::uint16_t dataLength;
    decltype(hand)& handOver;
  };
  const Reading reading{*this, count, buffer, dataLength, hand};
  if (m_entryNumberKey && count > 0) {
    class Walk final : public btrieve::RecordWalk {
     public:
      explicit Walk(const Reading& reading) : m_reading(reading) {}

      bool Take(std::uint16_t status, std::span<const std::byte> record, bool) override {
        m_started = true;
        const std::size_t at = m_reading.file.m_dataLength;
        if (record.size() < at + 4) return true;
        KeyBuffer key;
        std::memcpy(key.data(), record.data() + at, key.size());
        const std::int32_t number = DecodeKey(key);
        if (number < m_next) return true;  // below 1, or a duplicate of an entry handed over
        NotFoundBelow(number);
        if (m_next > m_reading.count) return false;
        // What Get Equal copies: the record as far as the data length allows.
        const std::size_t copied = std::min<std::size_t>(record.size(), m_reading.dataLength);
        std::memcpy(m_reading.buffer.data(), record.data(), copied);
        m_reading.file.m_status = status != btrieve::status::kSuccess ? status
                                  : record.size() > m_reading.dataLength
                                      ? btrieve::status::kDataBufferTooShort
                                      : btrieve::status::kSuccess;
        m_reading.handOver(static_cast<std::int32_t>(m_next++));
        return m_next <= m_reading.count;
      }

      // Every entry before `number` (at most count) that had no record: Get Equal answers 4.
      void NotFoundBelow(std::int64_t number) {
        for (; m_next < number && m_next <= m_reading.count; ++m_next) {
          m_reading.file.m_status = btrieve::status::kKeyNotFound;
          m_reading.handOver(static_cast<std::int32_t>(m_next));
        }
      }
      [[nodiscard]] bool Started() const { return m_started; }

     private:
      const Reading& m_reading;
      std::int64_t m_next = 1;  // (past the largest count without overflowing)
      bool m_started = false;
    };
    Walk walk(reading);
    (void)m_channel.WalkFirst(0, walk);
    if (walk.Started()) {
      walk.NotFoundBelow(std::int64_t{count} + 1);
      return;
    }
    // A walk that could not begin (no records, a key that cannot be ordered, a manager that does
    // not walk): the Gets themselves give each entry's answer.
  }

  class Run final : public btrieve::GetRun {
   public:
    explicit Run(const Reading& reading) : m_reading(reading) {}

    bool Next(std::uint16_t& operation, void*& dataBuffer, std::uint32_t& dataLength,
              void*& keyBuffer, std::uint8_t& keyLength, std::int8_t& keyNumber) override {
      if (m_k >= m_reading.count) return false;
      ++m_k;
      operation = btrieve::kOpGetEqual;
      m_reading.file.m_recordKey = EncodeKey(m_k);
      dataBuffer = m_reading.buffer.data();
      dataLength = m_reading.dataLength;
      keyBuffer = m_reading.file.m_recordKey.data();
      keyLength = 4;
      keyNumber = 0;
      return true;
    }

    void Answer(std::uint16_t status, std::uint32_t /*dataLength*/) override {
      m_reading.file.m_status = status;
      m_reading.handOver(m_k);
    }

   private:
    const Reading& m_reading;
    std::int32_t m_k = 0;
  };
  Run run(reading);
  m_channel.RunGets(run);
}

}  // namespace libfile
