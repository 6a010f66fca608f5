// The native read-only record manager: one BTRCALL-shaped entry point that serves Open, Close,
// Stat, Get Equal, Get Next and Get Last on genuine record files, answering with the engine's
// status codes.
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
[[nodiscard]] std::uint16_t BTRCALL(std::uint16_t operation, void* positionBlock, void* dataBuffer,
                                    std::uint32_t* dataLength, void* keyBuffer,
                                    std::uint8_t keyLength, std::int8_t keyNumber);

}  // namespace btrieve
