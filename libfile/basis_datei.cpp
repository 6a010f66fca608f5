#include "libfile/basis_datei.h"

#include <algorithm>
#include <cstring>

#include "btrieve/btrieve.h"

namespace libfile {

namespace {

constexpr std::uint8_t kKeyLength = 4;
constexpr std::int8_t kKeyNumber = 0;
constexpr std::int32_t kHeaderRecord = 1;

bool DataArrived(std::uint16_t status) {
  // 22: the buffer got what fits, as when a longer record is read with a shorter length.
  return status == btrieve::status::kSuccess || status == btrieve::status::kDataBufferTooShort;
}

}  // namespace

TBasisDatei::TBasisDatei(LibraryFileContext& context, std::string_view fileName,
                         std::span<std::byte> header, std::int32_t& count, std::int16_t openMode)
    : m_channel(context, fileName) {
  m_status = m_channel.Open(openMode);
  if (m_status != 0) return;

  m_recordKey = EncodeKey(kHeaderRecord);
  m_status = m_channel.Call(
      btrieve::kOpGetEqual,
      static_cast<std::uint16_t>(std::min<std::size_t>(header.size(), kMaxRecordLength)),
      header.data(), m_recordKey.data(), kKeyLength, kKeyNumber);
  if (!DataArrived(m_status)) {
    // Without the header there is no entry length to work with.
    count = 0;
    return;
  }

  const std::uint16_t dataLength =
      header.size() < 2 ? 0
                        : static_cast<std::uint16_t>(std::to_integer<unsigned>(header[0]) |
                                                     (std::to_integer<unsigned>(header[1]) << 8));
  if (header.size() < 2 || !WorkOutLayout(dataLength, header.size())) {
    m_status = btrieve::status::kDataBufferTooShort;
    count = 0;
    return;
  }

  // Get Last leaves the highest record number in the key buffer; the header records come first.
  m_status =
      m_channel.Call(btrieve::kOpGetLast, m_recordLength, m_channel.Context().partBuffer.data(),
                     m_recordKey.data(), kKeyLength, kKeyNumber);
  if (m_status != 0) {
    count = 0;
    return;
  }
  const std::int64_t entries =
      (static_cast<std::int64_t>(DecodeKey(m_recordKey)) - m_headerRecords) / m_partsPerEntry;
  count = static_cast<std::int32_t>(std::max<std::int64_t>(entries, 0));
}

TBasisDatei::~TBasisDatei() {
  Close();
}

bool TBasisDatei::WorkOutLayout(std::uint16_t dataLength, std::size_t bufferSize) {
  const std::uint32_t entryLength = std::uint32_t{dataLength} + kTrailerLength;
  if (entryLength > 0xFFFF) return false;  // the entry length would wrap in 16 bits

  m_dataLength = dataLength;
  m_entryLength = static_cast<std::uint16_t>(entryLength);
  if (entryLength <= kMaxRecordLength) {
    m_partLength = dataLength;
    m_recordLength = m_entryLength;
    m_partsPerEntry = 1;
    m_headerRecords = static_cast<std::uint8_t>(kMaxRecordLength / entryLength);
    m_lastPartLength = 0;
  } else {
    m_headerRecords = 1;
    m_recordLength = kSplitRecordLength;
    m_partLength = kSplitPartLength;
    // The smallest number of records whose data parts hold the entry's data.
    std::uint32_t parts = 1;
    std::uint32_t running = entryLength;
    while (parts * kSplitRecordLength < running) {
      ++parts;
      running += kTrailerLength;
    }
    m_partsPerEntry = static_cast<std::uint16_t>(parts);
    // What is left of the entry for its last record, the trailer included: at most one whole
    // record.
    m_lastPartLength = static_cast<std::uint16_t>(entryLength - (parts - 1) * kSplitPartLength);
  }
  return RequiredBufferSize() <= bufferSize;
}

std::size_t TBasisDatei::RequiredBufferSize() const {
  if (m_partsPerEntry > 1) return std::max<std::size_t>(m_entryLength, kSplitRecordLength);
  return m_entryLength;
}

std::int32_t TBasisDatei::FirstRecordOf(std::int32_t index) const {
  const std::int64_t record =
      std::int64_t{m_headerRecords} + (std::int64_t{index} - 1) * m_partsPerEntry + 1;
  // Out-of-range record numbers wrap as the 32-bit key would; they are simply not found.
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(record));
}

TBasisDatei::EntrySteps::EntrySteps(TBasisDatei& file, std::int32_t index,
                                    std::span<std::byte> buffer,
                                    std::span<std::byte, kTrailerLength> trailer)
    : m_file(file), m_buffer(buffer), m_trailer(trailer) {
  if (file.m_partsPerEntry == 0 || buffer.size() < file.RequiredBufferSize()) {
    file.m_status = btrieve::status::kDataBufferTooShort;
    return;
  }
  m_firstRecord = file.FirstRecordOf(index);
  m_stage = Stage::kFirst;
}

bool TBasisDatei::EntrySteps::Next(std::uint16_t& operation, void*& dataBuffer,
                                   std::uint16_t& dataLength) {
  dataLength = m_file.m_recordLength;
  switch (m_stage) {
    case Stage::kFirst:
      m_file.m_recordKey = EncodeKey(m_firstRecord);
      operation = btrieve::kOpGetEqual;
      dataBuffer = m_buffer.data();
      return true;
    case Stage::kPart:
      operation = btrieve::kOpGetNext;
      dataBuffer = m_file.m_channel.Context().partBuffer.data();
      return true;
    case Stage::kReposition:
      // Leave the record manager's position on the entry's first record.
      m_file.m_recordKey = EncodeKey(m_firstRecord);
      operation = btrieve::kOpGetEqual;
      dataBuffer = m_file.m_channel.Context().partBuffer.data();
      return true;
    case Stage::kDone:
      break;
  }
  return false;
}

void TBasisDatei::EntrySteps::Answer(std::uint16_t status) {
  m_file.m_status = status;
  switch (m_stage) {
    case Stage::kFirst:
      if (status == btrieve::status::kIoError) m_file.m_status = btrieve::status::kEndOfFile;
      m_arrived = DataArrived(m_file.m_status);
      m_part = 2;
      EndParts();
      return;
    case Stage::kPart: {
      m_arrived = m_arrived && DataArrived(status);
      // The part is copied also when its read failed; no part is read after it.
      const std::size_t length =
          m_part < m_file.m_partsPerEntry ? m_file.m_partLength : m_file.m_lastPartLength;
      std::memcpy(m_buffer.data() + std::size_t{m_part - 1u} * kSplitPartLength,
                  m_file.m_channel.Context().partBuffer.data(), length);
      ++m_part;
      EndParts();
      return;
    }
    case Stage::kReposition:
    case Stage::kDone:
      m_stage = Stage::kDone;
      return;
  }
}

// Reads the next part while there is one and every read so far answered 0; else takes the
// trailer and, for a split entry, goes back to its first record.
void TBasisDatei::EntrySteps::EndParts() {
  if (m_part <= m_file.m_partsPerEntry && m_file.m_status == 0) {
    m_stage = Stage::kPart;
    return;
  }
  m_arrived = m_arrived && m_part > m_file.m_partsPerEntry;
  if (m_file.m_partsPerEntry == 1) {
    std::memcpy(m_trailer.data(), m_buffer.data() + m_file.m_dataLength, kTrailerLength);
    m_stage = Stage::kDone;
  } else {
    std::memcpy(m_trailer.data(), m_file.m_channel.Context().partBuffer.data() + kSplitPartLength,
                kTrailerLength);
    m_stage = Stage::kReposition;
  }
}

bool TBasisDatei::ReadEntry(std::int32_t index, std::span<std::byte> buffer,
                            std::span<std::byte, kTrailerLength> trailer) {
  EntrySteps steps(*this, index, buffer, trailer);
  std::uint16_t operation = 0;
  void* dataBuffer = nullptr;
  std::uint16_t dataLength = 0;
  while (steps.Next(operation, dataBuffer, dataLength)) {
    steps.Answer(m_channel.Call(operation, dataLength, dataBuffer, m_recordKey.data(), kKeyLength,
                                kKeyNumber));
  }
  return steps.Arrived();
}

std::uint16_t TBasisDatei::Close() {
  m_status = m_channel.Close();
  return m_status;
}

}  // namespace libfile
