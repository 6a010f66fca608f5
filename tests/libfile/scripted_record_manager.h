// A record manager for tests: records every call with its arguments, answers scripted replies for
// chosen calls, and otherwise serves an in-memory table of fixed records keyed by a 4-byte record
// number, or passes the call on to another record manager (the native one, for files built on
// disk).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "btrieve/btrieve.h"
#include "libfile/key_value.h"
#include "libfile/record_manager.h"

namespace libfile::testing {

struct RecordedCall {
  std::uint16_t operation = 0;
  std::uint32_t dataLength = 0;
  std::uint8_t keyLength = 0;
  std::int8_t keyNumber = 0;
  std::string fileName;       // Open and Close: the key buffer up to its zero byte
  std::int32_t keyValue = 0;  // Gets: the 4-byte key as passed in
  const void* dataBuffer = nullptr;
};

// A reply for the n-th call (counted from 1) of one operation.
struct ScriptedReply {
  std::uint16_t operation = 0;
  int occurrence = 1;
  std::uint16_t status = 0;
  std::vector<std::byte> data;      // copied into the data buffer, bounded by the data length
  std::optional<std::int32_t> key;  // written to the 4-byte key buffer
};

class ScriptedRecordManager final : public RecordManager {
 public:
  // Without `inner`, the manager serves its own records (AddRecord); with it, unscripted calls go
  // there.
  explicit ScriptedRecordManager(RecordManager* inner = nullptr) : m_inner(inner) {}

  void AddRecord(std::int32_t key, std::vector<std::byte> record) {
    m_records[key] = std::move(record);
  }
  void Script(ScriptedReply reply) { m_script.push_back(std::move(reply)); }
  void SetMissing(bool missing) { m_missing = missing; }
  // The record length that Stat reports (its reply's first word).
  void SetStatRecordLength(std::uint16_t length) { m_statRecordLength = length; }

  // Makes room for `calls` recorded calls, so that recording allocates nothing until then.
  void Reserve(std::size_t calls) { m_calls.reserve(calls); }

  [[nodiscard]] const std::vector<RecordedCall>& Calls() const { return m_calls; }
  [[nodiscard]] std::vector<std::uint16_t> Operations() const {
    std::vector<std::uint16_t> operations;
    for (const auto& call : m_calls)
      operations.push_back(call.operation);
    return operations;
  }

  [[nodiscard]] std::uint16_t Call(std::uint16_t operation, void* positionBlock, void* dataBuffer,
                                   std::uint32_t* dataLength, void* keyBuffer,
                                   std::uint8_t keyLength, std::int8_t keyNumber) override {
    RecordedCall call{operation, *dataLength, keyLength, keyNumber, {}, 0, dataBuffer};
    if (operation == btrieve::kOpOpen || operation == btrieve::kOpClose) {
      call.fileName = static_cast<const char*>(keyBuffer);
    } else if (keyLength >= 4) {
      KeyBuffer key;
      std::memcpy(key.data(), keyBuffer, key.size());
      call.keyValue = DecodeKey(key);
    }
    m_calls.push_back(call);
    const int occurrence = operation < m_occurrences.size() ? ++m_occurrences[operation] : 0;

    for (const auto& reply : m_script) {
      if (reply.operation == operation && reply.occurrence == occurrence) {
        const std::size_t n = std::min<std::size_t>(reply.data.size(), *dataLength);
        if (n > 0) std::memcpy(dataBuffer, reply.data.data(), n);
        *dataLength = static_cast<std::uint32_t>(n);
        if (reply.key && keyLength >= 4) {
          const KeyBuffer key = EncodeKey(*reply.key);
          std::memcpy(keyBuffer, key.data(), key.size());
        }
        return reply.status;
      }
    }
    if (m_inner != nullptr) {
      return m_inner->Call(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                           keyNumber);
    }
    return Serve(operation, dataBuffer, dataLength, keyBuffer);
  }

  // With an inner manager and nothing scripted, a run takes the inner manager's own path (its
  // steps are then not recorded); otherwise one Call per step.
  void RunGets(void* positionBlock, btrieve::GetRun& run) override {
    if (m_inner != nullptr && m_script.empty()) {
      m_inner->RunGets(positionBlock, run);
    } else {
      RecordManager::RunGets(positionBlock, run);
    }
  }
  // Walks likewise: the inner manager's when nothing is scripted; else none (answer 1).
  [[nodiscard]] std::uint16_t WalkFirst(void* positionBlock, std::int8_t keyNumber,
                                        btrieve::RecordWalk& walk) override {
    if (m_inner != nullptr && m_script.empty())
      return m_inner->WalkFirst(positionBlock, keyNumber, walk);
    return RecordManager::WalkFirst(positionBlock, keyNumber, walk);
  }

 private:
  std::uint16_t Serve(std::uint16_t operation, void* dataBuffer, std::uint32_t* dataLength,
                      void* keyBuffer) {
    namespace status = btrieve::status;
    switch (operation) {
      case btrieve::kOpOpen:
        if (m_missing) return status::kFileNotFound;
        m_open = true;
        return status::kSuccess;
      case btrieve::kOpClose:
        if (!m_open) return status::kFileNotOpen;
        m_open = false;
        return status::kSuccess;
      case btrieve::kOpStat: {
        constexpr std::uint32_t kReplyLength = 16;
        if (*dataLength < kReplyLength) return status::kDataBufferTooShort;
        std::memset(dataBuffer, 0, kReplyLength);
        auto* reply = static_cast<std::byte*>(dataBuffer);
        reply[0] = std::byte(m_statRecordLength & 0xFF);
        reply[1] = std::byte(m_statRecordLength >> 8);
        *dataLength = kReplyLength;
        return status::kSuccess;
      }
      case btrieve::kOpGetEqual: {
        KeyBuffer key;
        std::memcpy(key.data(), keyBuffer, key.size());
        const auto found = m_records.find(DecodeKey(key));
        if (found == m_records.end()) {
          m_position.reset();
          return status::kKeyNotFound;
        }
        return Deliver(found, dataBuffer, dataLength, keyBuffer);
      }
      case btrieve::kOpGetNext: {
        if (!m_position) return status::kInvalidPositioning;
        auto next = m_records.upper_bound(*m_position);
        if (next == m_records.end()) return status::kEndOfFile;
        return Deliver(next, dataBuffer, dataLength, keyBuffer);
      }
      case btrieve::kOpGetLast:
        if (m_records.empty()) return status::kEndOfFile;
        return Deliver(std::prev(m_records.end()), dataBuffer, dataLength, keyBuffer);
      default:
        return status::kInvalidOperation;
    }
  }

  std::uint16_t Deliver(std::map<std::int32_t, std::vector<std::byte>>::const_iterator record,
                        void* dataBuffer, std::uint32_t* dataLength, void* keyBuffer) {
    m_position = record->first;
    const KeyBuffer key = EncodeKey(record->first);
    std::memcpy(keyBuffer, key.data(), key.size());
    const std::size_t n = std::min<std::size_t>(record->second.size(), *dataLength);
    if (n > 0) std::memcpy(dataBuffer, record->second.data(), n);
    *dataLength = static_cast<std::uint32_t>(n);
    return n < record->second.size() ? btrieve::status::kDataBufferTooShort
                                     : btrieve::status::kSuccess;
  }

  RecordManager* m_inner;
  std::map<std::int32_t, std::vector<std::byte>> m_records;
  std::vector<ScriptedReply> m_script;
  std::array<int, 64> m_occurrences{};  // calls so far, per operation code
  std::vector<RecordedCall> m_calls;
  std::optional<std::int32_t> m_position;
  bool m_open = false;
  bool m_missing = false;
  std::uint16_t m_statRecordLength = 0;
};

}  // namespace libfile::testing
