// A temporary utilities directory that tests fill with library files built from texts, and a
// record manager that counts what the loader asks of the native one.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "libfile/record_manager.h"
#include "libfile/writer/library_writer.h"
#include "support/library_directory.h"

namespace core::testing {

using libfile::writer::LibraryContents;
using libfile::writer::RecordLayout;

class UtilsDirectory : public kl7test::LibraryDirectory {
 public:
  UtilsDirectory() : kl7test::LibraryDirectory("kl7-core") {}
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
