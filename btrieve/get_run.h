// A run of Get operations on one open file, for this library's own callers (the library-file
// classes and kl7): every step answers exactly what BTRCALL would answer it (status, bytes, data
// length, key buffer, position), without a BTRCALL per record.
#pragma once

#include <cstdint>
#include <span>

namespace btrieve {

// One run's arguments and answers, step by step. The run holds the file's session from its start
// to its end: Next and Answer may open, read and close other files, but never use the run's own
// position block (a call with it would wait for the run).
class GetRun {
 public:
  virtual ~GetRun() = default;

  // The next step's arguments, as BTRCALL takes them (`dataLength` is the bytes available in
  // `dataBuffer`); false ends the run. `operation` is Get Equal, Get Next, Get First or Get Last;
  // any other answers 1.
  virtual bool Next(std::uint16_t& operation, void*& dataBuffer, std::uint32_t& dataLength,
                    void*& keyBuffer, std::uint8_t& keyLength, std::int8_t& keyNumber) = 0;
  // The step's answer: its status and the data length BTRCALL would have set.
  virtual void Answer(std::uint16_t status, std::uint32_t dataLength) = 0;
};

// Runs `run` on the file open in `positionBlock`. A block without an open file answers every Get
// 3, as BTRCALL does.
void RunGets(void* positionBlock, GetRun& run);

// The records after a position, handed over one after the other in the order of the key the
// position was taken in: what a run of Get Next would give, without a step for the caller to
// prepare for each record.
class RecordWalk {
 public:
  virtual ~RecordWalk() = default;

  // One whole record, as Get Next answers it with room enough: status 0, or 54 with its fixed
  // part and the variable bytes before the fault. When `lasting`, the bytes stay as they are until
  // the file is closed; otherwise only until Take returns. False ends the walk on this record.
  virtual bool Take(std::uint16_t status, std::span<const std::byte> record, bool lasting) = 0;
};

// Walks the file open in `positionBlock` from the record after its current position, moving the
// position to each record as it is handed to `walk` (a key buffer is the caller's: none is
// written). Answers 9 when the walk went past the last record, 0 when Take ended it, and what Get
// Next would answer instead of a first record otherwise (3: no open file; 8: no position). Take
// must not use `positionBlock` (a call with it would wait for the walk); other files it may use.
[[nodiscard]] std::uint16_t WalkNext(void* positionBlock, RecordWalk& walk);

// The same from the first record of key `keyNumber` on, as Get First would position. Answers what
// Get First would answer instead of a first record (3, 6, 9 for a file without records, 41 or 2
// for a key that cannot be ordered); otherwise as WalkNext.
[[nodiscard]] std::uint16_t WalkFirst(void* positionBlock, std::int8_t keyNumber, RecordWalk& walk);

}  // namespace btrieve
