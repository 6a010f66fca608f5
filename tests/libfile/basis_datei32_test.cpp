// TBasisDatei32 against an in-memory record manager and against genuine files in both record-file
// formats.
#include "libfile/basis_datei32.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "btrieve/btrieve.h"
#include "btrieve/writer/writer.h"
#include "library_harness.h"

namespace libfile {
namespace {

using testing::Backend;
using testing::CurrentLayoutRecord;
using testing::LibraryHarness;
using testing::LibraryImage;

constexpr std::int16_t kReadOnly = -2;

LibraryImage CurrentLayoutImage(std::uint16_t recordLength, int entries) {
  LibraryImage image{recordLength, static_cast<std::uint16_t>(recordLength - 16), {}};
  for (int k = 1; k <= entries; ++k) {
    image.Add(k, CurrentLayoutRecord(recordLength, "Eintrag " + std::to_string(k)));
  }
  return image;
}

std::string TextOf(const std::vector<std::byte>& buffer) {
  std::string text;
  for (std::size_t i = 1; i < buffer.size() && buffer[i] != std::byte{0}; ++i) {
    text.push_back(static_cast<char>(buffer[i]));
  }
  return text;
}

class TBasisDatei32Test : public ::testing::TestWithParam<Backend> {};

TEST_P(TBasisDatei32Test, ReadsEntriesByNumber) {
  struct Case {
    std::uint16_t recordLength;
    std::uint16_t dataLength;
  };
  // 54 and 55 lie on either side of the loader's switch to the older layout; both read the same
  // here.
  for (const Case c : {Case{54, 38}, Case{55, 39}, Case{300, 284}}) {
    SCOPED_TRACE(c.recordLength);
    LibraryHarness harness(GetParam(), CurrentLayoutImage(c.recordLength, 7));
    std::vector<std::byte> header(65529);
    std::int32_t count = -1;
    TBasisDatei32 file(harness.Context(), harness.FileName(), header, count, kReadOnly);
    ASSERT_EQ(file.Status(), 0);
    EXPECT_EQ(file.RecordLength(), c.recordLength);
    EXPECT_EQ(file.DataLength(), c.dataLength);
    EXPECT_EQ(count, 7);

    for (const std::int32_t k : {1, 4, 7}) {
      std::vector<std::byte> buffer(65529);
      std::array<std::byte, 16> trailer{};
      EXPECT_TRUE(file.ReadEntry(k, buffer, trailer));
      EXPECT_EQ(file.Status(), 0);
      EXPECT_EQ(TextOf(buffer), "Eintrag " + std::to_string(k));
      EXPECT_EQ(DecodeKey({trailer[0], trailer[1], trailer[2], trailer[3]}), k);
      EXPECT_EQ(trailer[15], std::byte(0xA0 + (c.recordLength - 1) % 16));
    }
    EXPECT_EQ(file.Close(), 0);
  }
}

TEST_P(TBasisDatei32Test, IssuesTheRecordManagerCallsInOrder) {
  LibraryHarness harness(GetParam(), CurrentLayoutImage(64, 3));
  std::vector<std::byte> header(4090);
  std::int32_t count = 0;
  {
    TBasisDatei32 file(harness.Context(), harness.FileName(), header, count, kReadOnly);
    std::vector<std::byte> buffer(64);
    std::array<std::byte, 16> trailer{};
    EXPECT_TRUE(file.ReadEntry(2, buffer, trailer));
    EXPECT_EQ(file.Close(), 0);
  }  // Destroy closes once more

  const auto& calls = harness.Recorder().Calls();
  ASSERT_EQ(harness.Recorder().Operations(), (std::vector<std::uint16_t>{0, 15, 13, 5, 1, 1}));
  EXPECT_EQ(calls[0].dataLength, 1u);
  EXPECT_EQ(calls[0].keyLength, 0);
  EXPECT_EQ(calls[0].keyNumber, -2);
  EXPECT_EQ(calls[0].fileName, harness.FileName());
  EXPECT_EQ(calls[1].dataLength, 4090u);
  EXPECT_EQ(calls[1].keyLength, 4);
  EXPECT_EQ(calls[1].dataBuffer, header.data());
  EXPECT_EQ(calls[2].dataLength, 64u);
  EXPECT_EQ(calls[2].dataBuffer, harness.Context().scratchBuffer.data());
  EXPECT_EQ(calls[3].dataLength, 64u);
  EXPECT_EQ(calls[3].keyValue, 2);
  EXPECT_EQ(calls[4].dataLength, 0u);
  EXPECT_EQ(calls[4].keyNumber, 1);
  EXPECT_EQ(calls[4].fileName, harness.FileName());
}

TEST_P(TBasisDatei32Test, FileWithoutRecordsCountsNothing) {
  LibraryHarness harness(GetParam(), CurrentLayoutImage(64, 0));
  std::vector<std::byte> header(4090);
  std::int32_t count = 55;
  TBasisDatei32 file(harness.Context(), harness.FileName(), header, count, kReadOnly);
  EXPECT_EQ(file.Status(), btrieve::status::kEndOfFile);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(file.DataLength(), 48);
}

TEST_P(TBasisDatei32Test, MissingEntryKeepsTheStatusAndStillCopiesTheTrailer) {
  LibraryHarness harness(GetParam(), CurrentLayoutImage(64, 3));
  std::vector<std::byte> header(4090);
  std::int32_t count = 0;
  TBasisDatei32 file(harness.Context(), harness.FileName(), header, count, kReadOnly);
  std::vector<std::byte> buffer(64, std::byte{0x5A});
  std::array<std::byte, 16> trailer{};
  EXPECT_FALSE(file.ReadEntry(9, buffer, trailer));
  EXPECT_EQ(file.Status(), btrieve::status::kKeyNotFound);
  EXPECT_EQ(trailer[0], std::byte{0x5A});
  EXPECT_EQ(trailer[15], std::byte{0x5A});
}

TEST_P(TBasisDatei32Test, CloseThenDestroyClosesTwice) {
  LibraryHarness harness(GetParam(), CurrentLayoutImage(64, 1));
  std::vector<std::byte> header(4090);
  std::int32_t count = 0;
  TBasisDatei32 file(harness.Context(), harness.FileName(), header, count, kReadOnly);
  EXPECT_EQ(file.Close(), 0);
  EXPECT_EQ(file.Close(), btrieve::status::kFileNotOpen);
  EXPECT_EQ(file.Status(), btrieve::status::kFileNotOpen);
}

// What one entry read leaves behind: its outcome, its status and the bytes of buffer and trailer.
struct EntryRead {
  bool arrived = false;
  std::uint16_t status = 0;
  std::vector<std::byte> buffer;
  std::array<std::byte, 16> trailer{};
  bool operator==(const EntryRead&) const = default;
};

// Reads entries 1..count of `fileName` per entry through ReadEntry and in one run through
// ReadEntries, each with its own open file and a buffer of `bufferSize` bytes filled alike.
std::pair<std::vector<EntryRead>, std::vector<EntryRead>> ReadBothWays(LibraryFileContext& context,
                                                                       const std::string& fileName,
                                                                       std::int32_t count,
                                                                       std::size_t bufferSize) {
  std::pair<std::vector<EntryRead>, std::vector<EntryRead>> reads;
  std::vector<std::byte> header(4090);
  std::int32_t ignored = 0;
  {
    TBasisDatei32 file(context, fileName, header, ignored, kReadOnly);
    std::vector<std::byte> buffer(bufferSize, std::byte{0x5A});
    for (std::int32_t k = 1; k <= count; ++k) {
      EntryRead read;
      read.arrived = file.ReadEntry(k, buffer, read.trailer);
      read.status = file.Status();
      read.buffer = buffer;
      reads.first.push_back(std::move(read));
    }
  }
  TBasisDatei32 file(context, fileName, header, ignored, kReadOnly);
  std::vector<std::byte> buffer(bufferSize, std::byte{0x5A});
  std::int32_t expected = 1;
  file.ReadEntries(count, buffer,
                   [&](std::int32_t k, bool arrived, std::span<const std::byte, 16> trailer) {
                     EXPECT_EQ(k, expected++);
                     EntryRead read{arrived, file.Status(), buffer, {}};
                     std::copy(trailer.begin(), trailer.end(), read.trailer.begin());
                     reads.second.push_back(std::move(read));
                   });
  return reads;
}

TEST_P(TBasisDatei32Test, ReadEntriesGivesWhatReadEntryGivesEntryByEntry) {
  struct Case {
    const char* what;
    std::vector<std::int32_t> entries;  // the entry numbers stored
    std::int32_t count;                 // read 1..count
    std::size_t bufferSize;
    std::uint16_t keyOffset = 48;  // 48: the entry number's place (a walk serves); else Gets do
  };
  const Case cases[] = {
      {"whole", {1, 2, 3, 4, 5, 6, 7}, 7, 4090},
      {"gaps and entries beyond the count", {1, 2, 5, 9, 12}, 11, 4090},
      {"entries below 1 and missing first", {-3, 0, 2, 3}, 4, 4090},
      {"buffer shorter than a record", {1, 2, 3}, 3, 40},
      {"buffer shorter than the data part", {1, 2, 3}, 20, 20},
      {"no entries", {}, 3, 4090},
      {"key 0 elsewhere than the entry number", {1, 2, 3}, 3, 4090, 44},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LibraryImage image{64, c.keyOffset, {}};
    for (const std::int32_t k : c.entries)
      image.Add(k, CurrentLayoutRecord(64, "Eintrag " + std::to_string(k)));
    LibraryHarness harness(GetParam(), image);
    const auto [perEntry, bulk] =
        ReadBothWays(harness.Context(), harness.FileName(), c.count, c.bufferSize);
    ASSERT_EQ(perEntry.size(), static_cast<std::size_t>(c.count));
    EXPECT_EQ(perEntry, bulk);
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, TBasisDatei32Test,
                         ::testing::Values(Backend::kScripted, Backend::kPre6File,
                                           Backend::kV6File),
                         [](const auto& info) { return testing::BackendName(info.param); });

TEST(TBasisDatei32, TakesOnlyRecordLengthsWithRoomForTheTrailer) {
  struct Case {
    std::uint16_t statRecordLength;
    std::uint16_t recordLength;
    std::uint16_t dataLength;
  };
  for (const Case c : {Case{4090, 4090, 4074}, Case{4091, 0, 0}, Case{65535, 0, 0}, Case{16, 16, 0},
                       Case{15, 0, 0}, Case{0, 0, 0}}) {
    SCOPED_TRACE(c.statRecordLength);
    testing::ScriptedRecordManager manager;
    manager.AddRecord(1, std::vector<std::byte>(c.recordLength == 0 ? 20 : c.recordLength));
    manager.SetStatRecordLength(c.statRecordLength);
    LibraryFileContext context(manager);
    std::vector<std::byte> header(4090);
    std::int32_t count = 0;
    TBasisDatei32 file(context, "KL701.DAT", header, count, kReadOnly);
    EXPECT_EQ(file.RecordLength(), c.recordLength);
    EXPECT_EQ(file.DataLength(), c.dataLength);
    // Get Last is issued whatever Stat gave, with the record length taken (0 when none was).
    ASSERT_EQ(manager.Calls().size(), 3u);
    EXPECT_EQ(manager.Calls()[2].operation, btrieve::kOpGetLast);
    EXPECT_EQ(manager.Calls()[2].dataLength, c.recordLength);
    EXPECT_EQ(count, c.recordLength == 0 ? 0 : 1);
  }
}

TEST(TBasisDatei32, FailedStatStillCountsThroughGetLast) {
  testing::ScriptedRecordManager manager;
  manager.Script({btrieve::kOpStat, 1, btrieve::status::kIoError, {}, {}});
  manager.Script({btrieve::kOpGetLast, 1, btrieve::status::kDataBufferTooShort, {}, 12});
  LibraryFileContext context(manager);
  std::vector<std::byte> header(4090);
  std::int32_t count = 99;
  TBasisDatei32 file(context, "KL701.DAT", header, count, kReadOnly);
  EXPECT_EQ(file.DataLength(), 0);
  EXPECT_EQ(file.Status(), btrieve::status::kDataBufferTooShort);
  EXPECT_EQ(count, 0);
}

TEST(TBasisDatei32, FailedOpenIssuesNothingBeforeClose) {
  testing::ScriptedRecordManager manager;
  manager.SetMissing(true);
  LibraryFileContext context(manager);
  std::vector<std::byte> header(4090);
  std::int32_t count = 1234;
  {
    TBasisDatei32 file(context, "KL7FF.DAT", header, count, kReadOnly);
    EXPECT_EQ(file.Status(), btrieve::status::kFileNotFound);
    EXPECT_EQ(file.DataLength(), 0);
    EXPECT_EQ(count, 1234);
    EXPECT_EQ(manager.Operations(), std::vector<std::uint16_t>{btrieve::kOpOpen});
  }
  EXPECT_EQ(manager.Operations(),
            (std::vector<std::uint16_t>{btrieve::kOpOpen, btrieve::kOpClose}));
}

TEST(TBasisDatei32, OpensMissingAndLongPathsOnDisk) {
  NativeRecordManager native;
  LibraryFileContext context(native);
  std::vector<std::byte> header(4090);

  const auto directory = testing::UniqueTempDirectory();
  std::int32_t count = 77;
  {
    TBasisDatei32 missing(context, (directory / "KL7AB.DAT").string(), header, count, kReadOnly);
    EXPECT_EQ(missing.Status(), btrieve::status::kFileNotFound);
    EXPECT_EQ(count, 77);
  }

  // A path far beyond 80 characters opens whole.
  auto deep = directory;
  for (int i = 0; i < 6; ++i)
    deep /= "a-rather-long-directory-name-" + std::to_string(i);
  std::filesystem::create_directories(deep);
  const auto path = deep / "KL701.DAT";
  ASSERT_GT(path.string().size(), 200u);
  auto spec = btrieve::writer::LibrarySpec(btrieve::writer::Format::kPre6, 1024, 64, 48,
                                           {CurrentLayoutRecord(64, "x")});
  spec.records[0][48] = std::byte{1};
  btrieve::writer::WriteFile(path, btrieve::writer::Build(spec).bytes);
  {
    TBasisDatei32 file(context, path.string(), header, count, kReadOnly);
    EXPECT_EQ(file.Status(), 0);
    EXPECT_EQ(count, 1);
  }
  std::filesystem::remove_all(directory);
}

// Files the library writer never makes, read both ways: records with variable parts (Get Equal
// gives what the buffer holds, and 22), an entry number stored twice (the first in key order), an
// entry number missing (4), and a record whose variable part is damaged (54).
TEST(TBasisDatei32, ReadEntriesOfVariableRecordsAndDuplicateNumbers) {
  namespace writer = btrieve::writer;
  for (const writer::Format format : {writer::Format::kPre6, writer::Format::kV6}) {
    writer::FileSpec spec;
    spec.format = format;
    spec.pageSize = 1024;
    spec.recordLength = 64;
    spec.fileFlags = writer::file_flag::kVariableLength;
    spec.keys = {writer::Key{
        {writer::Segment{48, 4, writer::key_type::kInteger,
                         writer::key_flag::kExtendedType | writer::key_flag::kDuplicates, 0}}}};
    const std::int32_t numbers[] = {1, 2, 2, 4, 5};
    for (std::size_t i = 0; i < std::size(numbers); ++i) {
      std::vector<std::byte> record = CurrentLayoutRecord(
          64, "Eintrag " + std::to_string(numbers[i]) + "." + std::to_string(i));
      const KeyBuffer key = EncodeKey(numbers[i]);
      std::copy(key.begin(), key.end(), record.begin() + 48);
      record.insert(record.end(), 30 * i, static_cast<std::byte>('a' + i));
      spec.records.push_back(std::move(record));
    }
    writer::BuiltFile built = writer::Build(spec);
    // The last record's variable part is said to begin on a page far beyond the file.
    const std::size_t pointer =
        built.layout.recordSlots.back() + (format == writer::Format::kV6 ? 2 : 0) + 64;
    const std::uint8_t far[] = {0x7F, 0xFF, 0xFF, 0x00};
    for (std::size_t i = 0; i < 4; ++i)
      built.bytes[pointer + i] = std::byte{far[i]};
    const auto directory = testing::UniqueTempDirectory();
    const auto path = directory / "KL7VAR.DAT";
    writer::WriteFile(path, built.bytes);
    NativeRecordManager native;
    LibraryFileContext context(native);
    for (const std::size_t bufferSize : {std::size_t{4090}, std::size_t{40}}) {
      const auto [perEntry, bulk] = ReadBothWays(context, path.string(), 6, bufferSize);
      ASSERT_EQ(perEntry.size(), 6u);
      EXPECT_EQ(perEntry[1].status, btrieve::status::kDataBufferTooShort);
      EXPECT_EQ(perEntry[2].status, btrieve::status::kKeyNotFound);
      EXPECT_EQ(perEntry[4].status, btrieve::status::kVariablePartDamaged);
      EXPECT_EQ(perEntry, bulk) << bufferSize;
    }
    std::filesystem::remove_all(directory);
  }
}

TEST(TBasisDatei32, ReadEntriesOfAFileThatIsNotOpenAnswersEveryEntryAsReadEntryDoes) {
  NativeRecordManager native;
  LibraryFileContext context(native);
  const auto [perEntry, bulk] = ReadBothWays(context, "/nonexistent/KL701.DAT", 3, 64);
  ASSERT_EQ(perEntry.size(), 3u);
  EXPECT_EQ(perEntry[2].status, btrieve::status::kFileNotOpen);
  EXPECT_EQ(perEntry, bulk);
}

TEST(TBasisDatei32, ReadsTheLongestRecordOfAPre6File) {
  LibraryHarness harness(Backend::kPre6File, CurrentLayoutImage(4090, 2), 4096);
  std::vector<std::byte> header(4090);
  std::int32_t count = 0;
  TBasisDatei32 file(harness.Context(), harness.FileName(), header, count, kReadOnly);
  ASSERT_EQ(file.Status(), 0);
  EXPECT_EQ(file.DataLength(), 4074);
  EXPECT_EQ(count, 2);
  std::vector<std::byte> buffer(4090);
  std::array<std::byte, 16> trailer{};
  EXPECT_TRUE(file.ReadEntry(2, buffer, trailer));
  EXPECT_EQ(TextOf(buffer), "Eintrag 2");
  EXPECT_EQ(trailer[0], std::byte{2});
}

}  // namespace
}  // namespace libfile
