#include "libfile/basis_datei32.h"

#include <algorithm>
#include <cstring>

#include "btrieve/btrieve.h"
#include "btrieve/format_constants.h"
#include "btrieve/stat_reply.h"

namespace libfile {

namespace {

constexpr std::uint8_t kKeyLength = 4;
constexpr std::int8_t kKeyNumber = 0;

std::uint16_t Clamp16(std::size_t size, std::uint16_t wanted) {
  return static_cast<std::uint16_t>(std::min<std::size_t>(size, wanted));
}

// Whether the Stat reply in `reply` describes key 0 as the entry number alone: one ascending
// segment, a 4-byte INTEGER at `dataLength`, with nothing that changes how its values compare.
bool IsEntryNumberKey(std::span<const std::byte> reply, std::uint16_t dataLength) {
  namespace stat = btrieve::stat_reply;
  const auto field = [&](std::size_t at, stat::Field f) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < f.size; ++i)
      value |= std::to_integer<std::uint32_t>(reply[at + f.offset + i]) << (8 * i);
    return value;
  };
  if (reply.size() < stat::kHeaderSize + stat::kSegmentSize || field(0, stat::kKeyCount) == 0) {
    return false;
  }
  const std::size_t segment = stat::kHeaderSize;
  namespace kf = btrieve::key_flags;
  constexpr std::uint32_t kAnyOther = kf::kSegmented | kf::kDescending | kf::kAlternateCollation |
                                      kf::kCaseInsensitive | kf::kBinary;
  return field(segment, stat::kSegmentPosition) == std::uint32_t{dataLength} + 1 &&
         field(segment, stat::kSegmentLength) == 4 &&
         (field(segment, stat::kSegmentFlags) & kf::kExtendedType) != 0 &&
         (field(segment, stat::kSegmentFlags) & kAnyOther) == 0 &&
         field(segment, stat::kSegmentType) == btrieve::key_types::kInteger;
}

}  // namespace

TBasisDatei32::TBasisDatei32(LibraryFileContext& context, std::string_view fileName,
                             std::span<std::byte> header, std::int32_t& count,
                             std::int16_t openMode)
    : m_channel(context, fileName) {
  m_status = m_channel.Open(openMode);
  if (m_status != 0) return;

  // The Stat reply gives the record length in its first word; the key descriptions that follow are
  // not needed. A record shorter than its 16-byte trailer cannot be a library record of this
  // layout.
  m_status = m_channel.Call(btrieve::kOpStat, Clamp16(header.size(), kMaxRecordLength),
                            header.data(), m_recordKey.data(), kKeyLength, kKeyNumber);
  constexpr btrieve::stat_reply::Field kLength = btrieve::stat_reply::kRecordLength;
  if (m_status == 0 && header.size() >= kLength.offset + kLength.size) {
    const auto recordLength =
        static_cast<std::uint16_t>(std::to_integer<unsigned>(header[kLength.offset]) |
                                   (std::to_integer<unsigned>(header[kLength.offset + 1]) << 8));
    if (recordLength <= kMaxRecordLength && recordLength >= kTrailerLength) {
      m_recordLength = recordLength;
      m_dataLength = static_cast<std::uint16_t>(recordLength - kTrailerLength);
      m_entryNumberKey = IsEntryNumberKey(header, m_dataLength);
    }
  }

  // Get Last leaves the highest entry number in the key buffer, whatever Stat gave.
  KeyBuffer highest = EncodeKey(count);
  m_status =
      m_channel.Call(btrieve::kOpGetLast, m_recordLength, m_channel.Context().scratchBuffer.data(),
                     highest.data(), kKeyLength, kKeyNumber);
  count = m_status == 0 ? DecodeKey(highest) : 0;
}

TBasisDatei32::~TBasisDatei32() {
  Close();
}

bool TBasisDatei32::ReadEntry(std::int32_t k, std::span<std::byte> buffer,
                              std::span<std::byte, kTrailerLength> trailer) {
  m_recordKey = EncodeKey(k);
  m_status = m_channel.Call(btrieve::kOpGetEqual, Clamp16(buffer.size(), m_recordLength),
                            buffer.data(), m_recordKey.data(), kKeyLength, kKeyNumber);

  // The trailer is copied whatever the status.
  TakeTrailer(buffer, trailer);
  return Arrived();
}

void TBasisDatei32::TakeTrailer(std::span<const std::byte> buffer,
                                std::span<std::byte, kTrailerLength> trailer) const {
  // Only bytes inside the caller's buffer are taken.
  std::fill(trailer.begin(), trailer.end(), std::byte{0});
  if (m_dataLength < buffer.size()) {
    const std::size_t available =
        std::min<std::size_t>(kTrailerLength, buffer.size() - m_dataLength);
    std::memcpy(trailer.data(), buffer.data() + m_dataLength, available);
  }
}

std::uint16_t TBasisDatei32::Close() {
  m_status = m_channel.Close();
  return m_status;
}

}  // namespace libfile
