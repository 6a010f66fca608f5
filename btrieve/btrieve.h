// The native read-only record manager: one BTRCALL-shaped entry point that serves Open, Close,
// Stat, Get Equal, Get Next, Get First and Get Last on genuine record files, answering with the
// engine's status codes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace btrieve {

// Operation codes understood by BTRCALL; any other code answers kInvalidOperation.
enum Operation : std::uint16_t {
  kOpOpen = 0,
  kOpClose = 1,
  kOpGetEqual = 5,
  kOpGetNext = 6,
  kOpGetFirst = 12,
  kOpGetLast = 13,
  kOpStat = 15,
};

// The status codes this record manager answers with (a subset of the engine's own list).
namespace status {
inline constexpr std::uint16_t kSuccess = 0;
inline constexpr std::uint16_t kInvalidOperation = 1;
inline constexpr std::uint16_t kIoError = 2;  // also: damaged file
inline constexpr std::uint16_t kFileNotOpen = 3;
inline constexpr std::uint16_t kKeyNotFound = 4;
inline constexpr std::uint16_t kInvalidKeyNumber = 6;
inline constexpr std::uint16_t kDifferentKeyNumber = 7;
inline constexpr std::uint16_t kInvalidPositioning = 8;
inline constexpr std::uint16_t kEndOfFile = 9;
inline constexpr std::uint16_t kInvalidFileName = 11;
inline constexpr std::uint16_t kFileNotFound = 12;
inline constexpr std::uint16_t kKeyBufferTooShort = 21;
inline constexpr std::uint16_t kDataBufferTooShort = 22;
inline constexpr std::uint16_t kNotBtrieveFile = 30;
inline constexpr std::uint16_t kOperationNotAllowed = 41;
inline constexpr std::uint16_t kVariablePartDamaged = 54;
inline constexpr std::uint16_t kPermissionError = 94;
}  // namespace status

// The part of the caller's position block that this record manager uses. Callers may pass a larger
// area (the library-file classes own 332 bytes); they zero it before Open and never touch it
// afterwards.
inline constexpr std::size_t kPositionBlockSize = 128;

// The one entry point. `positionBlock` is the caller's area of at least kPositionBlockSize bytes,
// `dataLength` is in/out (bytes available in `dataBuffer`; on return the bytes filled), `keyLength`
// is the size of `keyBuffer` for Get operations and is not checked on Open, Close and Stat. Open
// takes the file name in `keyBuffer`, ended by its zero byte, and the open mode in `keyNumber`;
// every mode opens the file for reading only. Never throws; every outcome is the returned status.
//
// Details callers may rely on:
// - Open reads the whole file into memory of its own (a file changed in the last two seconds is
//   read until two reads agree) and serves every later operation from that image; later changes
//   to the file are not seen by a block that is open already. Open on a block that still holds an
//   open file of its own closes that file first (also when the new Open then fails): nothing
//   leaks, and the block then refers to the new file or to none. An unknown or zeroed block
//   answers 3.
// - Stat fills the reply that stat_reply.h lays out (16 + 16 per key segment bytes) and sets the
//   data length to that; only the first byte of the key buffer is written (0). A shorter data
//   buffer answers 22 with nothing copied.
// - Get Equal, Get Next, Get First and Get Last copy the record and its key; a data buffer longer
//   than the record is fine (the data length becomes the record length). A shorter one gets what
//   fits, 22, and the data length says how much was copied; the position moves to that record all
//   the same.
//   In a variable-length file the record is its fixed part followed by its variable part, and the
//   data length is the whole record's (Stat reports the fixed length). A record whose variable part
//   is damaged answers 54 with its fixed part and the variable bytes before the fault (as far as
//   they fit); the position moves to it and the rest of the file stays readable.
//   The key buffer is never read or written beyond the key-length argument: if key `keyNumber` is
//   longer, 21 and nothing changes. Get Equal on a missing value answers 4 and drops the position
//   (Get Next then 8). Get Next after the last record answers 9 and keeps the position; Get First
//   and Get Last on a file without records answer 9.
// - Keys order by their type (STRING, LSTRING, ZSTRING, INTEGER, UNSIGNED BINARY, AUTOINCREMENT,
//   old-style string and binary), text types case-insensitively or through the file's alternate
//   collating sequence where the key says so. A key of any other type answers 41 on every Get; if
//   the duplicate chains of a key other than key 0 contradict each other, or its collating
//   sequence is not in the file, Gets on that key answer 2 (for key 0 the Open already refused the
//   file with 2).
// - On every Stat and Get the data length is set to the bytes filled (0 on failure); Open and Close
//   leave it as it is.
[[nodiscard]] std::uint16_t BTRCALL(std::uint16_t operation, void* positionBlock, void* dataBuffer,
                                    std::uint32_t* dataLength, void* keyBuffer,
                                    std::uint8_t keyLength, std::int8_t keyNumber);

}  // namespace btrieve
