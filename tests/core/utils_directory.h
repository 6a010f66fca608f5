// A temporary utilities directory that tests fill with library files built from texts, and a
// record manager that counts what the loader asks of the native one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "libfile/record_manager.h"
#include "libfile/writer/library_writer.h"

namespace core::testing {

using libfile::writer::LibraryContents;
using libfile::writer::RecordLayout;

class UtilsDirectory {
 public:
  UtilsDirectory() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
      m_path = base / ("kl7-core-" + std::to_string(random()));
      std::error_code error;
      if (std::filesystem::create_directory(m_path, error)) break;
    }
  }
  ~UtilsDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  UtilsDirectory(const UtilsDirectory&) = delete;
  UtilsDirectory& operator=(const UtilsDirectory&) = delete;

  // The "UTILS" value: the directory with its trailing separator.
  [[nodiscard]] std::string Utils() const { return (m_path / "").string(); }
  [[nodiscard]] std::filesystem::path FileOf(std::uint8_t number) const {
    return m_path / libfile::writer::LibraryFileNameFor(number);
  }

  void Write(std::uint8_t number, const LibraryContents& contents) const {
    libfile::writer::WriteLibraryFile(FileOf(number), contents);
  }
  void WriteCurrent(std::uint8_t number, std::vector<std::string> texts,
                    btrieve::writer::Format format = btrieve::writer::Format::kV6,
                    std::uint16_t recordLength = 80) const {
    LibraryContents contents;
    contents.format = format;
    contents.recordLength = recordLength;
    contents.texts = std::move(texts);
    Write(number, contents);
  }
  void WriteOlder(std::uint8_t number, std::vector<std::string> texts,
                  btrieve::writer::Format format = btrieve::writer::Format::kPre6,
                  std::uint16_t entryLength = 40) const {
    LibraryContents contents;
    contents.layout = RecordLayout::kSixteenBit;
    contents.format = format;
    contents.entryLength = entryLength;
    contents.texts = std::move(texts);
    Write(number, contents);
  }
  void WriteBytes(std::uint8_t number, const std::string& bytes) const {
    std::filesystem::remove(FileOf(number));
    std::FILE* file = std::fopen(FileOf(number).string().c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }

 private:
  std::filesystem::path m_path;
};

// Passes every call to another record manager and counts them per operation. Its snapshot token is
// the inner manager's, or one the test sets.
class CountingRecordManager final : public libfile::RecordManager {
 public:
  explicit CountingRecordManager(libfile::RecordManager& inner) : m_inner(inner) {}

  [[nodiscard]] std::uint16_t Call(std::uint16_t operation, void* positionBlock, void* dataBuffer,
                                   std::uint32_t* dataLength, void* keyBuffer,
                                   std::uint8_t keyLength, std::int8_t keyNumber) override {
    const int occurrence = ++m_counts[operation];
    if (operation == m_failOperation && occurrence == m_failOccurrence) return m_failStatus;
    return m_inner.Call(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                        keyNumber);
  }
  [[nodiscard]] std::shared_ptr<const void> Snapshot(const void* positionBlock) const override {
    if (m_fixedToken) return m_token;
    return m_inner.Snapshot(positionBlock);
  }

  // Answers `status` to the `occurrence`-th call of `operation` (counted since the last Reset).
  void Fail(std::uint16_t operation, int occurrence, std::uint16_t status) {
    m_failOperation = operation;
    m_failOccurrence = occurrence;
    m_failStatus = status;
  }
  [[nodiscard]] bool SnapshotIsCurrent(const std::string& fileName,
                                       const std::shared_ptr<const void>& snapshot) const override {
    if (m_fixedToken) return m_tokenIsCurrent && snapshot == m_token;
    return m_inner.SnapshotIsCurrent(fileName, snapshot);
  }

  // From now on the token is `token`; `current` says whether the file still matches it without
  // being opened.
  void SetToken(std::shared_ptr<const void> token, bool current = false) {
    m_tokenIsCurrent = current;
    m_fixedToken = true;
    m_token = std::move(token);
  }
  [[nodiscard]] int Count(std::uint16_t operation) const {
    const auto found = m_counts.find(operation);
    return found == m_counts.end() ? 0 : found->second;
  }
  void Reset() { m_counts.clear(); }

 private:
  libfile::RecordManager& m_inner;
  std::map<std::uint16_t, int> m_counts;
  std::uint16_t m_failOperation = 0xFFFF;
  int m_failOccurrence = 0;
  std::uint16_t m_failStatus = 0;
  bool m_fixedToken = false;
  bool m_tokenIsCurrent = false;
  std::shared_ptr<const void> m_token;
};

}  // namespace core::testing
