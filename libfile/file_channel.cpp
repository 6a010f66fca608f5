#include "libfile/file_channel.h"

#include "btrieve/btrieve.h"

namespace libfile {

FileChannel::FileChannel(LibraryFileContext& context, std::string_view fileName)
    : m_context(context), m_fileName(fileName) {}

std::uint16_t FileChannel::Open(std::int16_t openMode) {
  const auto keyNumber = static_cast<std::int8_t>(openMode & 0xFF);
  return Call(btrieve::kOpOpen, 1, &m_ownerName, m_fileName.data(), 0, keyNumber);
}

std::uint16_t FileChannel::Close() {
  constexpr std::int8_t kCloseKeyNumber = 1;
  return Call(btrieve::kOpClose, 0, &m_ownerName, m_fileName.data(), 0, kCloseKeyNumber);
}

std::uint16_t FileChannel::Call(std::uint16_t operation, std::uint16_t dataLength, void* dataBuffer,
                                void* keyBuffer, std::uint8_t keyLength, std::int8_t keyNumber) {
  return CallRecordManager(m_context.recordManager, operation, dataLength, m_posBlock.data(),
                           dataBuffer, keyBuffer, keyLength, keyNumber);
}

}  // namespace libfile
