#include "libfile/record_manager.h"

#include "btrieve/btrieve.h"
#include "btrieve/file_description.h"

namespace libfile {

std::uint16_t NativeRecordManager::Call(std::uint16_t operation, void* positionBlock,
                                        void* dataBuffer, std::uint32_t* dataLength,
                                        void* keyBuffer, std::uint8_t keyLength,
                                        std::int8_t keyNumber) {
  return btrieve::BTRCALL(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                          keyNumber);
}

void RecordManager::RunGets(void* positionBlock, btrieve::GetRun& run) {
  std::uint16_t operation = btrieve::kOpGetNext;
  void* dataBuffer = nullptr;
  std::uint32_t dataLength = 0;
  void* keyBuffer = nullptr;
  std::uint8_t keyLength = 0;
  std::int8_t keyNumber = 0;
  while (run.Next(operation, dataBuffer, dataLength, keyBuffer, keyLength, keyNumber)) {
    const std::uint16_t answer =
        Call(operation, positionBlock, dataBuffer, &dataLength, keyBuffer, keyLength, keyNumber);
    run.Answer(answer, dataLength);
  }
}

void NativeRecordManager::RunGets(void* positionBlock, btrieve::GetRun& run) {
  btrieve::RunGets(positionBlock, run);
}

std::uint16_t NativeRecordManager::WalkFirst(void* positionBlock, std::int8_t keyNumber,
                                             btrieve::RecordWalk& walk) {
  return btrieve::WalkFirst(positionBlock, keyNumber, walk);
}

std::shared_ptr<const void> NativeRecordManager::Snapshot(const void* positionBlock) const {
  return btrieve::OpenFileSnapshot(positionBlock);
}

bool NativeRecordManager::SnapshotIsCurrent(const std::string& fileName,
                                            const std::shared_ptr<const void>& snapshot) const {
  return btrieve::SnapshotIsCurrent(fileName, snapshot);
}

std::uint16_t CallRecordManager(RecordManager& manager, std::uint16_t operation,
                                std::uint16_t dataLength, void* positionBlock, void* dataBuffer,
                                void* keyBuffer, std::uint8_t keyLength, std::int8_t keyNumber) {
  std::uint32_t length = dataLength;
  return manager.Call(operation, positionBlock, dataBuffer, &length, keyBuffer, keyLength,
                      keyNumber);
}

}  // namespace libfile
