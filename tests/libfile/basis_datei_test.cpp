// TBasisDatei: the "16Bit" layout in one record and split over several, against an in-memory record
// manager and against genuine files in both record-file formats.
#include "libfile/basis_datei.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "btrieve/btrieve.h"
#include "library_harness.h"

namespace libfile {
namespace {

using testing::Backend;
using testing::EntryData;
using testing::LayoutFor;
using testing::LibraryHarness;
using testing::LibraryImage;
using testing::SixteenBitImage;

constexpr std::int16_t kReadOnly = -2;
constexpr std::size_t kRecordBufferSize = 65529;

class TBasisDateiTest : public ::testing::TestWithParam<Backend> {};

TEST_P(TBasisDateiTest, ReadsEntriesInOneAndInSplitRecords) {
  struct Case {
    std::uint16_t dataLength;
    int entries;
    int headerRecords;
    int parts;
    std::uint16_t lastPartLength;
  };
  const Case cases[] = {
      {30, 100, 51, 1, 0},    // entry k is record 51 + k; highest record 151
      {2032, 3, 1, 1, 0},     // exactly 2042 bytes: still one record
      {2033, 3, 1, 2, 19},    // entry k starts at record 2k
      {5000, 3, 1, 3, 962},   // two whole parts, then 962 bytes
      {4040, 2, 1, 2, 2026},  // within 10 of 2 x 2024: the last part is taken whole
      {4048, 2, 1, 2, 2034}, {6070, 2, 1, 3, 2032},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dataLength);
    LibraryHarness harness(GetParam(), SixteenBitImage(c.dataLength, c.entries));
    std::vector<std::byte> buffer(kRecordBufferSize);
    std::int32_t count = -1;
    TBasisDatei file(harness.Context(), harness.FileName(), buffer, count, kReadOnly);
    ASSERT_EQ(file.Status(), 0);
    EXPECT_EQ(count, c.entries);
    EXPECT_EQ(file.HeaderRecords(), c.headerRecords);
    EXPECT_EQ(file.PartsPerEntry(), c.parts);
    EXPECT_EQ(file.LastPartLength(), c.lastPartLength);
    EXPECT_EQ(file.EntryDataLength(), c.dataLength);

    for (const int e : {1, 2, c.entries}) {
      SCOPED_TRACE(e);
      std::array<std::byte, 10> trailer{};
      EXPECT_TRUE(file.ReadEntry(e, buffer, trailer));
      EXPECT_EQ(file.Status(), 0);
      const auto expected = EntryData(c.dataLength, e);
      EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffer.begin()));
      // The trailer of the entry's own (last) record: its record number, then the entry's mark.
      const int lastRecord = c.headerRecords + e * c.parts;
      EXPECT_EQ(DecodeKey({trailer[0], trailer[1], trailer[2], trailer[3]}), lastRecord);
      EXPECT_EQ(trailer[9], std::byte(0xE0 + e));
    }
  }
}

TEST_P(TBasisDateiTest, CountsNoEntriesWhenOnlyHeaderRecordsExist) {
  // Header records only, and a file that ends inside its header: both are empty libraries.
  for (const int lastRecord : {51, 10}) {
    SCOPED_TRACE(lastRecord);
    LibraryHarness harness(GetParam(), SixteenBitImage(30, 0, lastRecord));
    std::vector<std::byte> buffer(kRecordBufferSize);
    std::int32_t count = -1;
    TBasisDatei file(harness.Context(), harness.FileName(), buffer, count, kReadOnly);
    EXPECT_EQ(file.Status(), 0);
    EXPECT_EQ(count, 0);
  }
}

TEST_P(TBasisDateiTest, IssuesTheRecordManagerCallsInOrder) {
  LibraryHarness harness(GetParam(), SixteenBitImage(5000, 2));
  std::vector<std::byte> buffer(kRecordBufferSize);
  std::int32_t count = 0;
  {
    TBasisDatei file(harness.Context(), harness.FileName(), buffer, count, kReadOnly);
    std::array<std::byte, 10> trailer{};
    EXPECT_TRUE(file.ReadEntry(2, buffer, trailer));
    EXPECT_EQ(file.Close(), 0);
    EXPECT_EQ(file.Close(), btrieve::status::kFileNotOpen);
  }
  using btrieve::kOpClose, btrieve::kOpGetEqual, btrieve::kOpGetLast, btrieve::kOpGetNext,
      btrieve::kOpOpen;
  EXPECT_EQ(harness.Recorder().Operations(),
            (std::vector<std::uint16_t>{kOpOpen, kOpGetEqual, kOpGetLast, kOpGetEqual, kOpGetNext,
                                        kOpGetNext, kOpGetEqual, kOpClose, kOpClose, kOpClose}));
  const auto& calls = harness.Recorder().Calls();
  const void* part = harness.Context().partBuffer.data();
  EXPECT_EQ(calls[0].keyNumber, -2);
  EXPECT_EQ(calls[1].dataLength, 2042u);
  EXPECT_EQ(calls[1].keyValue, 1);
  EXPECT_EQ(calls[2].dataLength, 2034u);
  EXPECT_EQ(calls[2].dataBuffer, part);
  EXPECT_EQ(calls[3].keyValue, 5);  // record 1 + (2 - 1) x 3 + 1
  EXPECT_EQ(calls[3].dataBuffer, buffer.data());
  EXPECT_EQ(calls[4].dataBuffer, part);
  EXPECT_EQ(calls[6].keyValue, 5);  // the repositioning read
  EXPECT_EQ(calls[6].dataBuffer, part);
}

INSTANTIATE_TEST_SUITE_P(Backends, TBasisDateiTest,
                         ::testing::Values(Backend::kScripted, Backend::kPre6File,
                                           Backend::kV6File),
                         [](const auto& info) { return testing::BackendName(info.param); });

struct Scripted {
  explicit Scripted(const LibraryImage& image) : context(manager) {
    for (const auto& [key, record] : image.records)
      manager.AddRecord(key, record);
  }
  testing::ScriptedRecordManager manager;
  LibraryFileContext context;
};

// ReadEntries gives, entry by entry, what ReadEntry gives, through the same record manager calls:
// entries in one record and split, entries missing, reads that fail, a buffer too short.
TEST(TBasisDatei, ReadEntriesGivesWhatReadEntryGivesEntryByEntry) {
  struct Case {
    const char* what;
    std::uint16_t dataLength;
    int entries;
    std::int32_t count;  // read 1..count
    std::vector<testing::ScriptedReply> script;
    std::size_t bufferSize = kRecordBufferSize;
  };
  using btrieve::kOpGetEqual, btrieve::kOpGetNext;
  const std::vector<std::byte> junk(2034, std::byte{0xEE});
  const Case cases[] = {
      {"one record each, more asked than stored", 30, 5, 7, {}},
      {"split, more asked than stored", 5000, 3, 4, {}},
      {"a read fails", 30, 3, 3, {{kOpGetEqual, 3, btrieve::status::kIoError, {}, {}}}},
      {"a split entry's later part fails",
       5000,
       3,
       3,
       {{kOpGetNext, 2, btrieve::status::kEndOfFile, junk, {}}}},
      {"a split entry's first part fails",
       5000,
       3,
       3,
       {{kOpGetEqual, 4, btrieve::status::kIoError, {}, {}}}},
      {"a buffer too short for the entry", 2033, 2, 2, {}, 2042},
  };
  struct Read {
    bool arrived = false;
    std::uint16_t status = 0;
    std::vector<std::byte> buffer;
    std::array<std::byte, 10> trailer{};
    bool operator==(const Read&) const = default;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Each way on a manager of its own, scripted alike, so that the scripts' call counts agree.
    Scripted perEntry(SixteenBitImage(c.dataLength, c.entries));
    Scripted inOneRun(SixteenBitImage(c.dataLength, c.entries));
    for (const auto& reply : c.script) {
      perEntry.manager.Script(reply);
      inOneRun.manager.Script(reply);
    }
    std::vector<Read> expected;
    std::vector<Read> got;
    std::vector<std::uint16_t> expectedCalls;
    {
      std::vector<std::byte> buffer(kRecordBufferSize, std::byte{0x5A});
      std::int32_t count = 0;
      TBasisDatei file(perEntry.context, "KL701.DAT", buffer, count, kReadOnly);
      buffer.resize(c.bufferSize);
      for (std::int32_t index = 1; index <= c.count; ++index) {
        Read read;
        read.arrived = file.ReadEntry(index, buffer, read.trailer);
        read.status = file.Status();
        read.buffer = buffer;
        expected.push_back(std::move(read));
      }
      expectedCalls = perEntry.manager.Operations();
    }
    std::vector<std::byte> buffer(kRecordBufferSize, std::byte{0x5A});
    std::int32_t count = 0;
    TBasisDatei file(inOneRun.context, "KL701.DAT", buffer, count, kReadOnly);
    buffer.resize(c.bufferSize);
    std::int32_t next = 1;
    file.ReadEntries(c.count, buffer,
                     [&](std::int32_t index, bool arrived, std::span<const std::byte, 10> trailer) {
                       EXPECT_EQ(index, next++);
                       Read read{arrived, file.Status(), buffer, {}};
                       std::copy(trailer.begin(), trailer.end(), read.trailer.begin());
                       got.push_back(std::move(read));
                     });
    EXPECT_TRUE(got == expected);
    EXPECT_EQ(inOneRun.manager.Operations(), expectedCalls);
  }
}

TEST(TBasisDatei, RefusesLayoutsThatDoNotFitTheBuffer) {
  struct Case {
    std::uint16_t dataLength;
    std::size_t bufferSize;
  };
  // L + 10 wraps in 16 bits; the entry is longer than the buffer; one split record is longer than
  // it.
  for (const Case c : {Case{65526, kRecordBufferSize}, Case{65535, kRecordBufferSize},
                       Case{5000, 4096}, Case{2033, 2042}, Case{100, 109}}) {
    SCOPED_TRACE(c.dataLength);
    testing::ScriptedRecordManager manager;
    std::vector<std::byte> header(2042);
    header[0] = std::byte(c.dataLength & 0xFF);
    header[1] = std::byte(c.dataLength >> 8);
    manager.AddRecord(1, header);
    manager.AddRecord(2, std::vector<std::byte>(2034));
    LibraryFileContext context(manager);
    std::vector<std::byte> buffer(c.bufferSize);
    std::int32_t count = 5;
    TBasisDatei file(context, "KL701.DAT", buffer, count, kReadOnly);
    EXPECT_EQ(file.Status(), btrieve::status::kDataBufferTooShort);
    EXPECT_EQ(count, 0);
    std::array<std::byte, 10> trailer{};
    EXPECT_FALSE(file.ReadEntry(1, buffer, trailer));
    EXPECT_EQ(file.Status(), btrieve::status::kDataBufferTooShort);
  }
}

TEST(TBasisDatei, RefusesAReadIntoABufferTooSmallForTheEntry) {
  Scripted scripted(SixteenBitImage(2033, 1));
  std::vector<std::byte> header(kRecordBufferSize);
  std::int32_t count = 0;
  TBasisDatei file(scripted.context, "KL701.DAT", header, count, kReadOnly);
  ASSERT_EQ(file.Status(), 0);
  std::vector<std::byte> small(2042);
  std::array<std::byte, 10> trailer{};
  EXPECT_FALSE(file.ReadEntry(1, small, trailer));
  EXPECT_EQ(file.Status(), btrieve::status::kDataBufferTooShort);
}

TEST(TBasisDatei, FailedHeaderReadEndsConstruction) {
  Scripted scripted(SixteenBitImage(30, 2));
  scripted.manager.Script({btrieve::kOpGetEqual, 1, btrieve::status::kKeyNotFound, {}, {}});
  std::vector<std::byte> buffer(kRecordBufferSize);
  std::int32_t count = 8;
  TBasisDatei file(scripted.context, "KL701.DAT", buffer, count, kReadOnly);
  EXPECT_EQ(file.Status(), btrieve::status::kKeyNotFound);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(scripted.manager.Operations(),
            (std::vector<std::uint16_t>{btrieve::kOpOpen, btrieve::kOpGetEqual}));
}

TEST(TBasisDatei, FailedOpenLeavesHeaderAndCountAlone) {
  testing::ScriptedRecordManager manager;
  manager.SetMissing(true);
  LibraryFileContext context(manager);
  std::vector<std::byte> buffer(kRecordBufferSize, std::byte{0x33});
  std::int32_t count = 8;
  TBasisDatei file(context, "KL701.DAT", buffer, count, kReadOnly);
  EXPECT_EQ(file.Status(), btrieve::status::kFileNotFound);
  EXPECT_EQ(count, 8);
  EXPECT_EQ(buffer[0], std::byte{0x33});
  EXPECT_EQ(manager.Operations(), std::vector<std::uint16_t>{btrieve::kOpOpen});
}

TEST(TBasisDatei, FirstPartIoErrorIsReportedAsEndOfFile) {
  // One record per entry: the read's 2 becomes 9. Split: the repositioning read that follows sets
  // the status anew, but the entry still did not arrive.
  struct Case {
    std::uint16_t dataLength;
    std::uint16_t status;
  };
  for (const Case c : {Case{30, btrieve::status::kEndOfFile}, Case{5000, 0}}) {
    SCOPED_TRACE(c.dataLength);
    Scripted scripted(SixteenBitImage(c.dataLength, 2));
    scripted.manager.Script({btrieve::kOpGetEqual, 2, btrieve::status::kIoError, {}, {}});
    std::vector<std::byte> buffer(kRecordBufferSize);
    std::int32_t count = 0;
    TBasisDatei file(scripted.context, "KL701.DAT", buffer, count, kReadOnly);
    std::array<std::byte, 10> trailer{};
    EXPECT_FALSE(file.ReadEntry(1, buffer, trailer));
    EXPECT_EQ(file.Status(), c.status);
  }
}

TEST(TBasisDatei, FailedLaterPartIsCopiedAndReported) {
  Scripted scripted(SixteenBitImage(5000, 2));
  const std::vector<std::byte> junk(2034, std::byte{0xEE});
  scripted.manager.Script({btrieve::kOpGetNext, 1, btrieve::status::kEndOfFile, junk, {}});
  std::vector<std::byte> buffer(kRecordBufferSize);
  std::int32_t count = 0;
  TBasisDatei file(scripted.context, "KL701.DAT", buffer, count, kReadOnly);
  std::array<std::byte, 10> trailer{};
  EXPECT_FALSE(file.ReadEntry(1, buffer, trailer));
  EXPECT_EQ(buffer[2024], std::byte{0xEE});  // copied although the read failed
  EXPECT_EQ(buffer[4048], std::byte{0});     // the third part was never read
  // No further part is read after the failure, and the position is restored.
  EXPECT_EQ(scripted.manager.Operations().back(), btrieve::kOpGetEqual);
  EXPECT_EQ(file.Status(), 0);
}

TEST(TBasisDatei, NeverWritesOutsideItsBuffers) {
  // Every entry length class, with buffers of exactly the caller's size: the sanitizer build
  // catches any write past them, and construction refuses whatever would not fit.
  for (std::uint32_t dataLength = 2; dataLength <= 65535; dataLength += 997) {
    for (const std::size_t bufferSize : {std::size_t{2042}, std::size_t{4096}, kRecordBufferSize}) {
      const auto l = static_cast<std::uint16_t>(dataLength);
      const bool fits =
          l + 10u <= 65535u && LayoutFor(l).recordLength <= bufferSize && l + 10u <= bufferSize;
      Scripted scripted(fits ? SixteenBitImage(l, 2) : SixteenBitImage(30, 0));
      std::vector<std::byte> header(2042);
      header[0] = std::byte(l & 0xFF);
      header[1] = std::byte(l >> 8);
      scripted.manager.Script({btrieve::kOpGetEqual, 1, 0, header, 1});
      std::vector<std::byte> buffer(bufferSize);
      std::int32_t count = 0;
      TBasisDatei file(scripted.context, "KL701.DAT", buffer, count, kReadOnly);
      ASSERT_EQ(file.Status() == 0, fits) << l << " " << bufferSize;
      if (!fits) continue;
      EXPECT_LE(file.RequiredBufferSize(), bufferSize);
      std::array<std::byte, 10> trailer{};
      for (const int e : {1, 2, 3})
        (void)file.ReadEntry(e, buffer, trailer);
    }
  }
}

}  // namespace
}  // namespace libfile
