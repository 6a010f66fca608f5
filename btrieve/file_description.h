// Facts about an open record file that only the file itself holds (format version, slot size,
// pages), for tools that report on library files. Not part of the engine's interface.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace btrieve {

struct FileDescription {
  bool preV6 = false;             // pre-6.0 format (versions 3 to 5)
  std::uint16_t version = 0;      // pre-6.0: 3, 4 or 5; 6.x: 0x0600 or 0x0610
  std::uint16_t versionWord = 0;  // as stored (pre-6.0: byte 6 high, byte 7 low; 6.x: at 0x4A)
  std::uint32_t pageSize = 0;
  std::uint16_t recordLength = 0;          // logical, as Stat reports it
  std::uint16_t physicalRecordLength = 0;  // slot size, overhead included
  std::uint32_t recordCount = 0;
  std::uint32_t physicalPages = 0;  // whole pages in the file
  std::uint16_t keyCount = 0;
  std::uint16_t fileFlags = 0;
};

// The description of the file open in `positionBlock`; nothing when the block holds no open file.
[[nodiscard]] std::optional<FileDescription> DescribeOpenFile(const void* positionBlock);

// One record copied in file order (ReadRecordInFileOrder): status 0, 22 (only `length` bytes of it
// fitted), 54 (its variable part is damaged) or 9 (there is no record of that number).
struct RecordInFileOrder {
  std::uint16_t status = 0;
  std::uint32_t length = 0;  // bytes copied
};

// Copies record `index` (0-based, in the order the records lie in the file, whatever their keys)
// of the file open in `positionBlock` into `out`, as far as it fits; for files whose key 0 cannot
// be ordered. Nothing when the block holds no open file.
[[nodiscard]] std::optional<RecordInFileOrder> ReadRecordInFileOrder(const void* positionBlock,
                                                                     std::size_t index,
                                                                     std::span<std::byte> out);

// The parsed form that serves the file open in `positionBlock`, as an opaque token; null when the
// block holds no open file. Two opens that get the same token read the same, unchanged file, so a
// caller may reuse what it derived from the records while it holds (a weak reference to) the token.
[[nodiscard]] std::shared_ptr<const void> OpenFileSnapshot(const void* positionBlock);

// Whether an Open of `path` now would be served by `snapshot` (a token from OpenFileSnapshot): the
// file of exactly that name has the identity the snapshot was read from and has settled. Costs one
// status query of the file system, no open. False whenever that cannot be told.
[[nodiscard]] bool SnapshotIsCurrent(const std::string& path,
                                     const std::shared_ptr<const void>& snapshot);

}  // namespace btrieve
