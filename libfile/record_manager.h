// The library files' road to the record manager: a small interface over BTRCALL that tests can
// replace with a scripted record manager, and the call wrapper that every file class uses.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "btrieve/btrieve.h"
#include "btrieve/get_run.h"

namespace libfile {

// Something that answers BTRCALL-shaped requests. The argument shapes are those of
// btrieve::BTRCALL.
class RecordManager {
 public:
  virtual ~RecordManager() = default;

  [[nodiscard]] virtual std::uint16_t Call(std::uint16_t operation, void* positionBlock,
                                           void* dataBuffer, std::uint32_t* dataLength,
                                           void* keyBuffer, std::uint8_t keyLength,
                                           std::int8_t keyNumber) = 0;

  // A run of Get operations on the file open in `positionBlock`: each step is answered as Call
  // would answer it. This default makes one Call per step.
  virtual void RunGets(void* positionBlock, btrieve::GetRun& run);

  // Every record of the file open in `positionBlock` in the order of key `keyNumber`, handed to
  // `walk` as btrieve::WalkFirst does. A manager that cannot walk answers 1 and calls nothing:
  // this default, so that a caller then reads its records by the calls it would have made.
  [[nodiscard]] virtual std::uint16_t WalkFirst(void* positionBlock, std::int8_t keyNumber,
                                                btrieve::RecordWalk& walk) {
    (void)positionBlock;
    (void)keyNumber;
    (void)walk;
    return btrieve::status::kInvalidOperation;
  }

  // An opaque token for the unchanged contents of the file open in `positionBlock`: two opens that
  // get the same live token read identical records. Null when the manager cannot tell, which
  // makes callers read the file again.
  [[nodiscard]] virtual std::shared_ptr<const void> Snapshot(const void* positionBlock) const {
    (void)positionBlock;
    return nullptr;
  }

  // Whether opening `fileName` now would be served by the contents behind `snapshot` (a token from
  // Snapshot), decided without opening the file. False when the manager cannot tell.
  [[nodiscard]] virtual bool SnapshotIsCurrent(const std::string& fileName,
                                               const std::shared_ptr<const void>& snapshot) const {
    (void)fileName;
    (void)snapshot;
    return false;
  }
};

// The native reader of record files (btrieve::BTRCALL).
class NativeRecordManager final : public RecordManager {
 public:
  [[nodiscard]] std::uint16_t Call(std::uint16_t operation, void* positionBlock, void* dataBuffer,
                                   std::uint32_t* dataLength, void* keyBuffer,
                                   std::uint8_t keyLength, std::int8_t keyNumber) override;
  // The whole run in the record manager, without a BTRCALL per record (btrieve::RunGets).
  void RunGets(void* positionBlock, btrieve::GetRun& run) override;
  [[nodiscard]] std::uint16_t WalkFirst(void* positionBlock, std::int8_t keyNumber,
                                        btrieve::RecordWalk& walk) override;
  [[nodiscard]] std::shared_ptr<const void> Snapshot(const void* positionBlock) const override;
  [[nodiscard]] bool SnapshotIsCurrent(const std::string& fileName,
                                       const std::shared_ptr<const void>& snapshot) const override;
};

// The call wrapper: widens the 16-bit data length into a 32-bit value of its own, passes that
// value's address, drops the length that comes back and returns the status.
[[nodiscard]] std::uint16_t CallRecordManager(RecordManager& manager, std::uint16_t operation,
                                              std::uint16_t dataLength, void* positionBlock,
                                              void* dataBuffer, void* keyBuffer,
                                              std::uint8_t keyLength, std::int8_t keyNumber);

}  // namespace libfile
