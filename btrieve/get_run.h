// A run of Get operations on one open file, for this library's own callers (the library-file
// classes and kl7): every step answers exactly what BTRCALL would answer it (status, bytes, data
// length, key buffer, position), without a BTRCALL per record.
#pragma once

#include <cstdint>

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

}  // namespace btrieve
