// BTRCALL: dispatches each operation to the open-file sessions and answers with the engine's
// statuses.
#include "btrieve/btrieve.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "btrieve/format_constants.h"
#include "btrieve/get_run.h"
#include "btrieve/open_file.h"
#include "btrieve/reason.h"
#include "btrieve/session_registry.h"
#include "btrieve/stat_reply.h"

namespace btrieve {
namespace {

// Writes `value` little-endian into `field` of the entry at `out`.
void Put(std::byte* out, stat_reply::Field field, std::uint32_t value) {
  for (std::size_t i = 0; i < field.size; ++i)
    out[field.offset + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
}

std::uint32_t Available(const void* dataBuffer, const std::uint32_t* dataLength) {
  return (dataBuffer == nullptr || dataLength == nullptr) ? 0 : *dataLength;
}

void SetDataLength(std::uint32_t* dataLength, std::uint32_t value) {
  if (dataLength != nullptr) *dataLength = value;
}

std::uint16_t Open(void* positionBlock, const void* keyBuffer) {
  if (keyBuffer == nullptr) return status::kInvalidFileName;
  const std::string name(static_cast<const char*>(keyBuffer));
  if (name.empty()) return status::kInvalidFileName;
  // A fresh Open on a block that still holds a session of its own ends that session first.
  SessionRegistry::Instance().DetachOwned(positionBlock);
  ParseResult parsed = OpenParsedFile(name);
  if (parsed.status != status::kSuccess) {
    NoteRefusal(name, parsed.reason);
    return parsed.status;
  }
  SessionRegistry::Instance().Attach(positionBlock, std::move(parsed.file), name);
  return status::kSuccess;
}

// Stat: the file's figures and one 16-byte entry per key segment; the key buffer gets one zero
// byte.
std::uint16_t Stat(const ParsedFile& file, void* dataBuffer, std::uint32_t* dataLength,
                   void* keyBuffer) {
  std::size_t segments = 0;
  for (const KeySpec& key : file.Keys())
    segments += key.segments.size();
  const std::size_t needed = stat_reply::kHeaderSize + stat_reply::kSegmentSize * segments;
  if (Available(dataBuffer, dataLength) < needed) {
    SetDataLength(dataLength, 0);
    return status::kDataBufferTooShort;
  }
  auto* out = static_cast<std::byte*>(dataBuffer);
  std::memset(out, 0, needed);
  const FileFacts& facts = file.Facts();
  Put(out, stat_reply::kRecordLength, facts.recordLength);
  Put(out, stat_reply::kPageSize, facts.pageSize);
  Put(out, stat_reply::kKeyCount, static_cast<std::uint32_t>(file.Keys().size()));
  Put(out, stat_reply::kRecordCount, static_cast<std::uint32_t>(file.RecordCount()));
  Put(out, stat_reply::kFileFlags, facts.fileFlags);
  std::byte* entry = out + stat_reply::kHeaderSize;
  for (std::size_t k = 0; k < file.Keys().size(); ++k) {
    const KeySpec& key = file.Keys()[k];
    for (const SegmentSpec& segment : key.segments) {
      Put(entry, stat_reply::kSegmentPosition, segment.recordOffset + 1);
      Put(entry, stat_reply::kSegmentLength, segment.length);
      Put(entry, stat_reply::kSegmentFlags, segment.flags);
      Put(entry, stat_reply::kSegmentUniqueCount, key.uniqueCount);
      Put(entry, stat_reply::kSegmentType, segment.type);
      Put(entry, stat_reply::kSegmentNullValue, segment.nullValue);
      Put(entry, stat_reply::kSegmentKeyNumber, static_cast<std::uint32_t>(k));
      entry += stat_reply::kSegmentSize;
    }
  }
  SetDataLength(dataLength, static_cast<std::uint32_t>(needed));
  if (keyBuffer != nullptr) *static_cast<std::byte*>(keyBuffer) = std::byte{0};
  return status::kSuccess;
}

// Hands record `index` of the key order to the caller and makes it the current position. A data
// buffer shorter than the record gets what fits and 22; a record whose variable part is damaged
// gets its fixed part and what came before the fault, and 54. The position is set all the same.
std::uint16_t Deliver(Session& session, const KeySpec& key, const KeyOrder& order,
                      std::int32_t keyNumber, std::size_t position, void* dataBuffer,
                      std::uint32_t available, std::uint32_t* dataLength, void* keyBuffer) {
  const ParsedFile& file = *session.file;
  const std::uint32_t record = order.records[position];
  // A walk through a file stored out of key order jumps around its image: ask for the record a
  // few steps ahead now, so that its bytes are at hand when Get Next reaches it.
  constexpr std::size_t kAhead = 8;
  if (position + kAhead < order.records.size()) file.Prefetch(order.records[position + kAhead]);
  const std::span<std::byte> out = available > 0
                                       ? std::span(static_cast<std::byte*>(dataBuffer), available)
                                       : std::span<std::byte>();
  const RecordCopy copy = file.CopyRecord(record, out);
  if (copy.status == status::kVariablePartDamaged) NoteRefusal(session.name, copy.reason);
  SetDataLength(dataLength, copy.copied);
  ExtractKey(key, file.Record(record), std::span(static_cast<std::byte*>(keyBuffer), key.length));
  session.positioned = true;
  session.keyNumber = keyNumber;
  session.position = position;
  return copy.status;
}

// Inlined into both of its callers (BTRCALL and RunGets), as it was into BTRCALL alone: a call
// here costs the per-record path more than its share.
#if defined(__GNUC__)
[[gnu::always_inline]]
#endif
inline std::uint16_t
Get(std::uint16_t operation, Session& session, void* dataBuffer, std::uint32_t* dataLength,
    void* keyBuffer, std::uint8_t keyLength, std::int8_t keyNumber) {
  const std::uint32_t available = Available(dataBuffer, dataLength);
  SetDataLength(dataLength, 0);
  const ParsedFile& file = *session.file;
  if (keyNumber < 0 || static_cast<std::size_t>(keyNumber) >= file.Keys().size()) {
    return status::kInvalidKeyNumber;
  }
  const KeySpec& key = file.Keys()[static_cast<std::size_t>(keyNumber)];
  const KeyOrder& order = file.Order(static_cast<std::size_t>(keyNumber));
  if (order.status != status::kSuccess) {
    NoteRefusal(session.name, order.reason);
    return order.status;
  }
  if (keyBuffer == nullptr || keyLength < key.length) return status::kKeyBufferTooShort;

  const auto deliver = [&](std::size_t position) {
    return Deliver(session, key, order, keyNumber, position, dataBuffer, available, dataLength,
                   keyBuffer);
  };
  const std::vector<std::uint32_t>& records = order.records;
  switch (operation) {
    case kOpGetEqual: {
      const std::span<const std::byte> value(static_cast<const std::byte*>(keyBuffer), key.length);
      const auto compareAt = [&](std::size_t position) {
        return CompareRecordWithValue(key, file.Record(records[position]), value);
      };
      // Callers often ask for one value after the other: the record after the current position is
      // the answer when it holds the value and the current one a smaller one (which it must, in
      // a key without duplicates).
      const std::size_t following = session.position + 1;
      const bool unique =
          (key.flags & (key_flags::kDuplicates | key_flags::kRepeatingDuplicates)) == 0;
      if (session.positioned && session.keyNumber == keyNumber && following < records.size() &&
          compareAt(following) == 0 && (unique || compareAt(session.position) < 0)) {
        return deliver(following);
      }
      const auto it =
          std::lower_bound(records.begin(), records.end(), value,
                           [&](std::uint32_t record, std::span<const std::byte> v) {
                             return CompareRecordWithValue(key, file.Record(record), v) < 0;
                           });
      if (it == records.end() || CompareRecordWithValue(key, file.Record(*it), value) != 0) {
        session.positioned = false;
        return status::kKeyNotFound;
      }
      return deliver(static_cast<std::size_t>(it - records.begin()));
    }
    case kOpGetNext:
      if (!session.positioned) return status::kInvalidPositioning;
      if (session.keyNumber != keyNumber) return status::kDifferentKeyNumber;
      if (session.position + 1 >= records.size()) return status::kEndOfFile;
      return deliver(session.position + 1);
    case kOpGetFirst:
      if (records.empty()) return status::kEndOfFile;
      return deliver(0);
    default:  // kOpGetLast
      if (records.empty()) return status::kEndOfFile;
      return deliver(records.size() - 1);
  }
}

}  // namespace

std::uint16_t BTRCALL(std::uint16_t operation, void* positionBlock, void* dataBuffer,
                      std::uint32_t* dataLength, void* keyBuffer, std::uint8_t keyLength,
                      std::int8_t keyNumber) {
  switch (operation) {
    case kOpOpen:
      if (positionBlock == nullptr) return status::kFileNotOpen;
      return Open(positionBlock, keyBuffer);
    case kOpClose:
      return SessionRegistry::Instance().Detach(positionBlock) ? status::kSuccess
                                                               : status::kFileNotOpen;
    case kOpStat:
    case kOpGetEqual:
    case kOpGetNext:
    case kOpGetFirst:
    case kOpGetLast:
      break;
    default:
      return status::kInvalidOperation;
  }
  Session* const session = SessionRegistry::Instance().Lookup(positionBlock);
  if (session == nullptr) {
    SetDataLength(dataLength, 0);
    return status::kFileNotOpen;
  }
  const std::lock_guard lock(session->mutex);
  if (operation == kOpStat) return Stat(*session->file, dataBuffer, dataLength, keyBuffer);
  return Get(operation, *session, dataBuffer, dataLength, keyBuffer, keyLength, keyNumber);
}

void RunGets(void* positionBlock, GetRun& run) {
  std::uint16_t operation = kOpGetNext;
  void* dataBuffer = nullptr;
  std::uint32_t dataLength = 0;
  void* keyBuffer = nullptr;
  std::uint8_t keyLength = 0;
  std::int8_t keyNumber = 0;
  // One lookup and one lock for the whole run: the share keeps the session alive while the run's
  // Answers open and read other files, and no Answer uses this block (see GetRun).
  const std::shared_ptr<Session> session = SessionRegistry::Instance().Find(positionBlock);
  std::unique_lock<std::mutex> lock;
  if (session != nullptr) lock = std::unique_lock(session->mutex);
  while (run.Next(operation, dataBuffer, dataLength, keyBuffer, keyLength, keyNumber)) {
    if (operation != kOpGetEqual && operation != kOpGetNext && operation != kOpGetFirst &&
        operation != kOpGetLast) {
      run.Answer(status::kInvalidOperation, dataLength);
    } else if (session == nullptr) {
      run.Answer(status::kFileNotOpen, 0);
    } else {
      const std::uint16_t answer =
          Get(operation, *session, dataBuffer, &dataLength, keyBuffer, keyLength, keyNumber);
      run.Answer(answer, dataLength);
    }
  }
}

namespace {

// Hands the records of `order` from position `first` on to `walk`, moving the session's position
// to each; the caller holds the session's lock and has positioned it in `keyNumber`.
std::uint16_t Walk(Session& session, std::int32_t keyNumber,
                   const std::vector<std::uint32_t>& order, std::size_t first, RecordWalk& walk) {
  const ParsedFile& file = *session.file;
  constexpr std::size_t kAhead = 8;  // as Deliver looks ahead
  // A record with a variable part is put together here, in room that grows to the longest one.
  std::vector<std::byte> whole;
  for (std::size_t position = first; position < order.size(); ++position) {
    if (position + kAhead < order.size()) file.Prefetch(order[position + kAhead]);
    const std::uint32_t record = order[position];
    session.positioned = true;
    session.keyNumber = keyNumber;
    session.position = position;
    if (!file.Facts().variable) {
      if (!walk.Take(status::kSuccess, file.Record(record), true)) return status::kSuccess;
      continue;
    }
    if (whole.empty()) whole.resize(std::size_t{64} << 10);
    RecordCopy copy = file.CopyRecord(record, whole);
    // A record holds no more than the image (no fragment serves two records).
    while (copy.status == status::kDataBufferTooShort && whole.size() < file.ImageSize() * 2) {
      whole.resize(whole.size() * 2);
      copy = file.CopyRecord(record, whole);
    }
    if (copy.status == status::kVariablePartDamaged) NoteRefusal(session.name, copy.reason);
    if (!walk.Take(copy.status, std::span(whole.data(), copy.copied), false)) {
      return status::kSuccess;
    }
  }
  return status::kEndOfFile;
}

}  // namespace

std::uint16_t WalkNext(void* positionBlock, RecordWalk& walk) {
  const std::shared_ptr<Session> session = SessionRegistry::Instance().Find(positionBlock);
  if (session == nullptr) return status::kFileNotOpen;
  const std::lock_guard lock(session->mutex);
  if (!session->positioned) return status::kInvalidPositioning;
  // (A position is only ever taken in a key whose order was built.)
  const KeyOrder& order = session->file->Order(static_cast<std::size_t>(session->keyNumber));
  return Walk(*session, session->keyNumber, order.records, session->position + 1, walk);
}

std::uint16_t WalkFirst(void* positionBlock, std::int8_t keyNumber, RecordWalk& walk) {
  const std::shared_ptr<Session> session = SessionRegistry::Instance().Find(positionBlock);
  if (session == nullptr) return status::kFileNotOpen;
  const std::lock_guard lock(session->mutex);
  const ParsedFile& file = *session->file;
  if (keyNumber < 0 || static_cast<std::size_t>(keyNumber) >= file.Keys().size()) {
    return status::kInvalidKeyNumber;
  }
  const KeyOrder& order = file.Order(static_cast<std::size_t>(keyNumber));
  if (order.status != status::kSuccess) {
    NoteRefusal(session->name, order.reason);
    return order.status;
  }
  if (order.records.empty()) return status::kEndOfFile;
  return Walk(*session, keyNumber, order.records, 0, walk);
}

}  // namespace btrieve
