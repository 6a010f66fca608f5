// BTRCALL on writer-built files: one suite over both formats and several page sizes, for the file
// variants the reader must see through and the statuses of every operation.
#include "btrieve/btrieve.h"
#include "btrieve/reason.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <numeric>
#include <thread>

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "written_file.h"

namespace btrieve::test {
namespace {

using writer::Format;

constexpr std::uint16_t kLength = 48;

struct FormatCase {
  Format format;
  std::uint16_t pageSize;
};

std::string Name(const testing::TestParamInfo<FormatCase>& info) {
  return std::string(info.param.format == Format::kV6 ? "V6" : "Pre6") + "Page" +
         std::to_string(info.param.pageSize);
}

class Btrieve : public testing::TestWithParam<FormatCase> {
 protected:
  [[nodiscard]] bool IsV6() const { return GetParam().format == Format::kV6; }

  // A library-style spec: key 0 = the 4-byte INTEGER id at offset 0.
  [[nodiscard]] writer::FileSpec Spec(const std::vector<std::int32_t>& ids) const {
    return writer::LibrarySpec(GetParam().format, GetParam().pageSize, kLength, 0,
                               NumberedRecords(ids, kLength));
  }

  // Many records over several data pages, inserted out of key order.
  [[nodiscard]] static std::vector<std::int32_t> ShuffledIds(int count) {
    std::vector<std::int32_t> ids(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
      ids[static_cast<std::size_t>(i)] = (i * 37) % count + 1;
    return ids;
  }

  // Reads every record of key 0 from the smallest id on and returns the ids seen.
  static std::vector<std::int32_t> ReadAll(const std::string& path, std::int32_t first) {
    Handle handle;
    EXPECT_EQ(handle.Open(path), status::kSuccess);
    std::vector<std::int32_t> ids;
    GetResult result = handle.Get(kOpGetEqual, Le(first, 4), kLength);
    while (result.status == status::kSuccess) {
      const auto id = static_cast<std::int32_t>(ReadLe(result.data, 0, 4, true));
      EXPECT_EQ(result.data, NumberedRecord(id, kLength));
      EXPECT_EQ(ReadLe(result.key, 0, 4, true), id);
      ids.push_back(id);
      result = handle.Get(kOpGetNext, Le(0, 4), kLength);
    }
    EXPECT_EQ(result.status, status::kEndOfFile);
    return ids;
  }
};

INSTANTIATE_TEST_SUITE_P(
    Formats, Btrieve,
    testing::Values(FormatCase{Format::kPre6, 512}, FormatCase{Format::kPre6, 1024},
                    FormatCase{Format::kPre6, 4096}, FormatCase{Format::kV6, 512},
                    FormatCase{Format::kV6, 2048}, FormatCase{Format::kV6, 4096}),
    Name);

// Every variant the writer can produce must read back as exactly the live records in key order.
TEST_P(Btrieve, VariantsReadBackAsTheCurrentRecordsInKeyOrder) {
  struct Variant {
    const char* name;
    bool v6Only;
    bool pre6Only;
    void (*apply)(writer::FileSpec&);
  };
  const Variant variants[] = {
      {"plain", false, false, [](writer::FileSpec&) {}},
      {"reverse physical order", false, false,
       [](writer::FileSpec& s) { s.reversePhysicalOrder = true; }},
      {"junk pages", false, false, [](writer::FileSpec& s) { s.junkPages = 3; }},
      {"stale FCR in page 0", true, false,
       [](writer::FileSpec& s) { s.staleFcr = writer::StaleCopy::kFirst; }},
      {"stale FCR in page 1", true, false,
       [](writer::FileSpec& s) { s.staleFcr = writer::StaleCopy::kSecond; }},
      {"stale first PAT copy", true, false,
       [](writer::FileSpec& s) { s.stalePat = writer::StaleCopy::kFirst; }},
      {"stale second PAT copy", true, false,
       [](writer::FileSpec& s) { s.stalePat = writer::StaleCopy::kSecond; }},
      {"shadow pages", true, false, [](writer::FileSpec& s) { s.shadowPages = 3; }},
      {"free slots", true, false, [](writer::FileSpec& s) { s.freeSlotEvery = 3; }},
      {"deleted chain", false, true, [](writer::FileSpec& s) { s.deletedEvery = 2; }},
      {"everything", true, false,
       [](writer::FileSpec& s) {
         s.staleFcr = writer::StaleCopy::kFirst;
         s.stalePat = writer::StaleCopy::kFirst;
         s.shadowPages = 2;
         s.freeSlotEvery = 4;
         s.junkPages = 2;
         s.reversePhysicalOrder = true;
       }},
  };
  const std::vector<std::int32_t> ids = ShuffledIds(150);
  std::vector<std::int32_t> sorted(ids.size());
  std::iota(sorted.begin(), sorted.end(), 1);
  for (const Variant& variant : variants) {
    if ((variant.v6Only && !IsV6()) || (variant.pre6Only && IsV6())) continue;
    writer::FileSpec spec = Spec(ids);
    variant.apply(spec);
    const WrittenFile file(spec);
    EXPECT_EQ(ReadAll(file.Path(), 1), sorted) << variant.name;
  }
}

TEST_P(Btrieve, StatReportsTheFileAndItsSegments) {
  writer::FileSpec spec = Spec(ShuffledIds(20));
  spec.keys.push_back({{{4, 6, writer::key_type::kString, writer::key_flag::kExtendedType, 0},
                        {20, 2, writer::key_type::kUnsignedBinary,
                         writer::key_flag::kExtendedType | writer::key_flag::kDuplicates, 0}}});
  const WrittenFile file(spec);
  Handle handle;
  ASSERT_EQ(handle.Open(file.Path()), status::kSuccess);
  const GetResult stat = handle.Stat();
  ASSERT_EQ(stat.status, status::kSuccess);
  ASSERT_EQ(stat.data.size(), 16U + 3 * 16);
  EXPECT_EQ(ReadLe(stat.data, 0, 2, false), kLength);
  EXPECT_EQ(ReadLe(stat.data, 2, 2, false), GetParam().pageSize);
  EXPECT_EQ(ReadLe(stat.data, 4, 2, false), 2);
  EXPECT_EQ(ReadLe(stat.data, 6, 4, false), 20);
  const int positions[] = {1, 5, 21};
  const int lengths[] = {4, 6, 2};
  const int keys[] = {0, 1, 1};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(ReadLe(stat.data, 16 + 16 * i, 2, false), positions[i]) << i;
    EXPECT_EQ(ReadLe(stat.data, 18 + 16 * i, 2, false), lengths[i]) << i;
    EXPECT_EQ(ReadLe(stat.data, 30 + 16 * i, 1, false), keys[i]) << i;
  }
  EXPECT_EQ(stat.key[0], std::byte{0});
  EXPECT_EQ(stat.key[1], std::byte{0xEE}) << "only one byte of the key buffer is written";

  EXPECT_EQ(handle.Stat(16 + 3 * 16 - 1).status, status::kDataBufferTooShort);
}

TEST_P(Btrieve, GetStatusesFollowThePosition) {
  const WrittenFile file(Spec({5, 1, 3}));
  Handle handle;
  EXPECT_EQ(handle.Get(kOpGetNext, Le(0, 4)).status, status::kFileNotOpen);
  ASSERT_EQ(handle.Open(file.Path()), status::kSuccess);

  EXPECT_EQ(handle.Get(kOpGetNext, Le(0, 4)).status, status::kInvalidPositioning)
      << "no position right after Open";
  const GetResult last = handle.Get(kOpGetLast, Le(0, 4), 2042);
  ASSERT_EQ(last.status, status::kSuccess);
  EXPECT_EQ(last.data.size(), kLength) << "a longer buffer receives the record's length";
  EXPECT_EQ(ReadLe(last.key, 0, 4, true), 5);
  EXPECT_EQ(handle.Get(kOpGetNext, Le(0, 4)).status, status::kEndOfFile);

  EXPECT_EQ(handle.Get(kOpGetEqual, Le(2, 4)).status, status::kKeyNotFound);
  EXPECT_EQ(handle.Get(kOpGetNext, Le(0, 4)).status, status::kInvalidPositioning)
      << "a missing key loses the position";

  ASSERT_EQ(handle.Get(kOpGetEqual, Le(1, 4)).status, status::kSuccess);
  const GetResult next = handle.Get(kOpGetNext, Le(0, 4));
  ASSERT_EQ(next.status, status::kSuccess);
  EXPECT_EQ(next.data, NumberedRecord(3, kLength));

  EXPECT_EQ(handle.Get(kOpGetNext, Le(0, 4), kLength, 1).status, status::kInvalidKeyNumber);
  EXPECT_EQ(handle.Get(kOpGetEqual, Le(1, 4), kLength, -1).status, status::kInvalidKeyNumber);
  EXPECT_EQ(handle.Call(4, kLength, Le(1, 4), 4, 0).status, status::kInvalidOperation);
  EXPECT_EQ(handle.Call(7, kLength, Le(1, 4), 4, 0).status, status::kInvalidOperation);

  EXPECT_EQ(handle.Close(), status::kSuccess);
  EXPECT_EQ(handle.Close(), status::kFileNotOpen) << "closing twice is harmless";
  EXPECT_EQ(handle.Get(kOpGetLast, Le(0, 4)).status, status::kFileNotOpen);
  EXPECT_EQ(handle.Stat().status, status::kFileNotOpen);
}

TEST_P(Btrieve, ShortBuffers) {
  const WrittenFile file(Spec({1, 2, 3}));
  Handle handle;
  ASSERT_EQ(handle.Open(file.Path()), status::kSuccess);

  // One byte short: what fits is copied, the data length says how much, and the position is set.
  const GetResult shortData = handle.Get(kOpGetEqual, Le(1, 4), kLength - 1);
  EXPECT_EQ(shortData.status, status::kDataBufferTooShort);
  const std::vector<std::byte> record = NumberedRecord(1, kLength);
  EXPECT_EQ(shortData.data, std::vector<std::byte>(record.begin(), record.end() - 1));
  const GetResult next = handle.Get(kOpGetNext, Le(0, 4));
  ASSERT_EQ(next.status, status::kSuccess);
  EXPECT_EQ(ReadLe(next.data, 0, 4, true), 2);

  // A key buffer shorter than key 0: 21, and neither buffer is touched.
  for (const std::uint16_t operation : {kOpGetEqual, kOpGetNext, kOpGetFirst, kOpGetLast}) {
    const GetResult shortKey = handle.Get(operation, Le(1, 4), kLength, 0, 3);
    EXPECT_EQ(shortKey.status, status::kKeyBufferTooShort) << operation;
    EXPECT_TRUE(shortKey.data.empty()) << operation;
    EXPECT_EQ(shortKey.key, Le(1, 3)) << operation;
  }
  EXPECT_EQ(handle.Get(kOpGetNext, Le(0, 4)).status, status::kSuccess)
      << "a refused Get keeps the position";
}

TEST_P(Btrieve, GetFirstStartsEachKeysOrder) {
  writer::FileSpec spec = Spec({5, 1, 3});
  spec.keys.push_back({{{4, 12, writer::key_type::kString,
                         writer::key_flag::kExtendedType | writer::key_flag::kDescending, 0}}});
  const WrittenFile file(spec);
  Handle handle;
  EXPECT_EQ(handle.Get(kOpGetFirst, Le(0, 4)).status, status::kFileNotOpen);
  ASSERT_EQ(handle.Open(file.Path()), status::kSuccess);

  const GetResult first = handle.Get(kOpGetFirst, Le(0, 4), 2042);
  ASSERT_EQ(first.status, status::kSuccess);
  EXPECT_EQ(first.data, NumberedRecord(1, kLength)) << "the lowest key, not the first inserted";
  EXPECT_EQ(ReadLe(first.key, 0, 4, true), 1);
  const GetResult next = handle.Get(kOpGetNext, Le(0, 4));
  ASSERT_EQ(next.status, status::kSuccess);
  EXPECT_EQ(next.data, NumberedRecord(3, kLength));

  // On a descending key the first record holds the highest value.
  const GetResult byText = handle.Get(kOpGetFirst, Le(0, 12), kLength, 1);
  ASSERT_EQ(byText.status, status::kSuccess);
  EXPECT_EQ(byText.data, NumberedRecord(5, kLength));

  // A short data buffer gets what fits and 22, and the position is set all the same.
  const GetResult shortData = handle.Get(kOpGetFirst, Le(0, 4), kLength - 1);
  EXPECT_EQ(shortData.status, status::kDataBufferTooShort);
  const std::vector<std::byte> record = NumberedRecord(1, kLength);
  EXPECT_EQ(shortData.data, std::vector<std::byte>(record.begin(), record.end() - 1));
  EXPECT_EQ(handle.Get(kOpGetNext, Le(0, 4)).data, NumberedRecord(3, kLength));

  const WrittenFile empty(Spec({}));
  Handle emptyHandle;
  ASSERT_EQ(emptyHandle.Open(empty.Path()), status::kSuccess);
  EXPECT_EQ(emptyHandle.Get(kOpGetFirst, Le(0, 4)).status, status::kEndOfFile);
}

TEST_P(Btrieve, GetNextOnAnotherKeyAnswers7) {
  writer::FileSpec spec = Spec({1, 2, 3});
  spec.keys.push_back({{{4, 12, writer::key_type::kString, writer::key_flag::kExtendedType, 0}}});
  const WrittenFile file(spec);
  Handle handle;
  ASSERT_EQ(handle.Open(file.Path()), status::kSuccess);
  ASSERT_EQ(handle.Get(kOpGetLast, Le(0, 12), kLength, 1).status, status::kSuccess);
  EXPECT_EQ(handle.Get(kOpGetNext, Le(0, 4), kLength, 0).status, status::kDifferentKeyNumber);
  const GetResult byText = handle.Get(kOpGetEqual, Text("record 2", 12), kLength, 1);
  ASSERT_EQ(byText.status, status::kSuccess);
  EXPECT_EQ(byText.data, NumberedRecord(2, kLength));
}

TEST_P(Btrieve, EmptyFile) {
  const WrittenFile file(Spec({}));
  Handle handle;
  ASSERT_EQ(handle.Open(file.Path()), status::kSuccess);
  EXPECT_EQ(handle.Get(kOpGetLast, Le(0, 4)).status, status::kEndOfFile);
  EXPECT_EQ(handle.Get(kOpGetEqual, Le(0, 4)).status, status::kKeyNotFound);
  EXPECT_EQ(ReadLe(handle.Stat().data, 6, 4, false), 0);
}

TEST_P(Btrieve, RecordCountThatDiffersFromTheFcrIsDamage) {
  for (const std::uint32_t count : {2U, 4U, 0U, 0xFFFFFFFFU}) {
    writer::FileSpec spec = Spec({1, 2, 3});
    spec.recordCountOverride = count;
    EXPECT_EQ(WrittenFile(spec).OpenStatus(), status::kIoError) << count;
  }
}

// Opening: names, modes and the position block.
writer::FileSpec SmallSpec() {
  return writer::LibrarySpec(Format::kPre6, 512, kLength, 0, NumberedRecords({1, 2, 3}, kLength));
}

TEST(BtrieveOpen, PathProblemsAnswerTheirStatus) {
  const WrittenFile file(SmallSpec());
  Handle handle;
  EXPECT_EQ(handle.Open(""), status::kInvalidFileName);
  EXPECT_EQ(handle.Open((file.Dir() / "MISSING.DAT").string()), status::kFileNotFound);
  EXPECT_EQ(handle.Open((file.Dir() / "NODIR" / "TEST.DAT").string()), status::kFileNotFound);
  EXPECT_EQ(handle.Open(file.Dir().string()), status::kFileNotFound) << "a directory";
  const std::optional<Reason> reason = LastRefusal(file.Dir().string(), status::kFileNotFound);
  EXPECT_TRUE(reason && reason->check == Check::kCannotOpen);
  EXPECT_EQ(handle.Close(), status::kFileNotOpen) << "a failed Open leaves nothing open";
  EXPECT_EQ(BTRCALL(kOpOpen, handle.Block(), nullptr, nullptr, nullptr, 0, 0),
            status::kInvalidFileName);
}

TEST(BtrieveOpen, FileTooLargeToHoldIsRefusedUnread) {
  // A sparse file beyond what slot offsets can address: refused from its size, not read into
  // memory.
  const WrittenFile file(SmallSpec());
  std::filesystem::resize_file(file.Path(), std::uint64_t{5} << 30);
  Handle handle;
  EXPECT_EQ(handle.Open(file.Path()), status::kIoError);
  const std::optional<Reason> reason = LastRefusal(file.Path(), status::kIoError);
  ASSERT_TRUE(reason);
  EXPECT_EQ(ReasonText(*reason),
            "the file has 5368709120 bytes, more than the 4294967295 this reader takes");
}

TEST(BtrieveOpen, UnreadableFileAnswers94) {
#if defined(_WIN32)
  GTEST_SKIP() << "file modes and users are POSIX's; the Windows file layer's tests hold a file "
                  "that no one may share instead";
#else
  const WrittenFile file(SmallSpec());
  std::filesystem::permissions(file.Path(), std::filesystem::perms::none);
  if (geteuid() != 0) {
    Handle handle;
    EXPECT_EQ(handle.Open(file.Path()), status::kPermissionError);
    return;
  }
  // Permissions do not bind the superuser: try the Open in a child that runs as an ordinary user,
  // who may enter the directory but not read the file.
  std::filesystem::permissions(
      file.Dir(), std::filesystem::perms::others_exec | std::filesystem::perms::group_exec,
      std::filesystem::perm_options::add);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    constexpr uid_t kNobody = 65534;
    if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(255);
    std::array<std::byte, 332> block{};
    std::string name = file.Path();
    std::byte owner{0};
    std::uint32_t length = 1;
    _exit(BTRCALL(kOpOpen, block.data(), &owner, &length, name.data(), 0, -2));
  }
  int childStatus = 0;
  ASSERT_EQ(waitpid(child, &childStatus, 0), child);
  ASSERT_TRUE(WIFEXITED(childStatus));
  if (WEXITSTATUS(childStatus) == 255) GTEST_SKIP() << "cannot run as an ordinary user here";
  EXPECT_EQ(WEXITSTATUS(childStatus), status::kPermissionError);
#endif
}

TEST(BtrieveOpen, NamesEndAtTheirZeroByteOnly) {
  const WrittenFile spaced(SmallSpec(), "my library file .dat");
  Handle handle;
  EXPECT_EQ(handle.Open(spaced.Path()), status::kSuccess);

  const std::string longName(200, 'x');
  const WrittenFile longer(SmallSpec(), longName + ".DAT");
  Handle other;
  EXPECT_EQ(other.Open(longer.Path()), status::kSuccess) << "no length limit on names";
}

TEST(BtrieveOpen, LastComponentMatchesInAnyLetterCase) {
  const WrittenFile file(SmallSpec(), "kl71a.dat");
  Handle handle;
  ASSERT_EQ(handle.Open((file.Dir() / "KL71A.DAT").string()), status::kSuccess);
  EXPECT_EQ(handle.Get(kOpGetLast, Le(0, 4)).status, status::kSuccess);
#if defined(_WIN32)
  return;  // Windows matches names in any letter case itself: there is one file of that name
#endif

  // The exact spelling wins over other spellings; among those, the first in byte order.
  WriteBytes(file.Dir() / "Kl71a.dat",
             writer::Build(
                 writer::LibrarySpec(Format::kV6, 512, kLength, 0, NumberedRecords({7}, kLength)))
                 .bytes);
  const auto count = [](Handle& h) { return ReadLe(h.Stat().data, 6, 4, false); };
  Handle exact;
  ASSERT_EQ(exact.Open((file.Dir() / "kl71a.dat").string()), status::kSuccess);
  EXPECT_EQ(count(exact), 3);
  Handle folded;
  ASSERT_EQ(folded.Open((file.Dir() / "KL71A.DAT").string()), status::kSuccess);
  EXPECT_EQ(count(folded), 1) << "\"Kl71a.dat\" sorts before \"kl71a.dat\"";
  Handle directoryCase;
  EXPECT_EQ(directoryCase.Open((file.Dir() / ".." / file.Dir().filename() / "KL71A.DAT").string()),
            status::kSuccess);
}

TEST(BtrieveOpen, AChangedFileIsReadAnew) {
  WrittenFile file(SmallSpec());
  Handle first;
  ASSERT_EQ(first.Open(file.Path()), status::kSuccess);
  file.Replace(writer::Build(writer::LibrarySpec(Format::kPre6, 512, kLength, 0,
                                                 NumberedRecords({4, 5, 6}, kLength)))
                   .bytes);
  Handle second;
  ASSERT_EQ(second.Open(file.Path()), status::kSuccess);
  EXPECT_EQ(ReadLe(second.Get(kOpGetLast, Le(0, 4)).data, 0, 4, true), 6);
  EXPECT_EQ(ReadLe(first.Get(kOpGetLast, Le(0, 4)).data, 0, 4, true), 3)
      << "an open session keeps the version it opened";
}

TEST(BtrieveOpen, EveryOpenModeOpensForReading) {
  const WrittenFile file(SmallSpec());
  for (const int mode : {0, -1, -2, -3, -4, -32, -34, -64, -66, 5, 127, -128}) {
    Handle handle;
    EXPECT_EQ(handle.Open(file.Path(), static_cast<std::int8_t>(mode)), status::kSuccess) << mode;
    EXPECT_EQ(handle.Get(kOpGetLast, Le(0, 4)).status, status::kSuccess) << mode;
  }
  EXPECT_EQ(ReadBytes(file.Path()), file.Bytes()) << "the file is never written";
}

TEST(BtrieveOpen, ReopenOfAnOpenBlockReplacesItsSession) {
  const WrittenFile first(SmallSpec());
  const WrittenFile second(
      writer::LibrarySpec(Format::kV6, 1024, kLength, 0, NumberedRecords({9}, kLength)));
  Handle handle;
  ASSERT_EQ(handle.Open(first.Path()), status::kSuccess);
  ASSERT_EQ(handle.Get(kOpGetEqual, Le(1, 4)).status, status::kSuccess);
  ASSERT_EQ(handle.Open(second.Path()), status::kSuccess);
  EXPECT_EQ(handle.Get(kOpGetNext, Le(0, 4)).status, status::kInvalidPositioning);
  EXPECT_EQ(ReadLe(handle.Get(kOpGetLast, Le(0, 4)).data, 0, 4, true), 9);
  EXPECT_EQ(handle.Close(), status::kSuccess);
  EXPECT_EQ(handle.Close(), status::kFileNotOpen) << "the first session did not survive";

  // A failed Open on an open block leaves the block closed.
  ASSERT_EQ(handle.Open(first.Path()), status::kSuccess);
  EXPECT_EQ(handle.Open((first.Dir() / "MISSING.DAT").string()), status::kFileNotFound);
  EXPECT_EQ(handle.Close(), status::kFileNotOpen);
}

TEST(BtrieveOpen, BlocksOfOneFileKeepTheirOwnPositions) {
  const WrittenFile file(SmallSpec());
  Handle a;
  Handle b;
  ASSERT_EQ(a.Open(file.Path()), status::kSuccess);
  ASSERT_EQ(b.Open(file.Path()), status::kSuccess);
  ASSERT_EQ(a.Get(kOpGetEqual, Le(1, 4)).status, status::kSuccess);
  ASSERT_EQ(b.Get(kOpGetEqual, Le(2, 4)).status, status::kSuccess);
  EXPECT_EQ(ReadLe(a.Get(kOpGetNext, Le(0, 4)).data, 0, 4, true), 2);
  EXPECT_EQ(ReadLe(b.Get(kOpGetNext, Le(0, 4)).data, 0, 4, true), 3);
  EXPECT_EQ(a.Close(), status::kSuccess);
  EXPECT_EQ(b.Get(kOpGetNext, Le(0, 4)).status, status::kEndOfFile);
}

TEST(BtrieveOpen, SessionsOnSeveralThreads) {
  std::vector<std::int32_t> ids(300);
  std::iota(ids.begin(), ids.end(), 1);
  const WrittenFile file(
      writer::LibrarySpec(Format::kV6, 1024, kLength, 0, NumberedRecords(ids, kLength)));
  std::vector<std::thread> threads;
  std::atomic<int> complete{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int round = 0; round < 5; ++round) {
        Handle handle;
        if (handle.Open(file.Path()) != status::kSuccess) return;
        std::array<std::byte, kLength> data{};
        std::array<std::byte, 4> key{};
        std::uint32_t length = kLength;
        int seen = 0;
        const std::vector<std::byte> first = Le(1, 4);
        std::copy(first.begin(), first.end(), key.begin());
        std::uint16_t result =
            BTRCALL(kOpGetEqual, handle.Block(), data.data(), &length, key.data(), 4, 0);
        while (result == status::kSuccess) {
          ++seen;
          length = kLength;
          result = BTRCALL(kOpGetNext, handle.Block(), data.data(), &length, key.data(), 4, 0);
        }
        if (seen != 300 || result != status::kEndOfFile) return;
      }
      ++complete;
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(complete, 4);
}

TEST(BtrieveOpen, ForeignOrZeroedBlocksAreNotOpen) {
  std::array<std::byte, 128> zeroed{};
  std::array<std::byte, 128> garbage{};
  garbage.fill(std::byte{0x5A});
  for (auto* block : {zeroed.data(), garbage.data()}) {
    std::uint32_t length = 100;
    std::array<std::byte, 100> data{};
    std::array<std::byte, 4> key{};
    EXPECT_EQ(BTRCALL(kOpGetLast, block, data.data(), &length, key.data(), 4, 0),
              status::kFileNotOpen);
    EXPECT_EQ(BTRCALL(kOpClose, block, nullptr, nullptr, nullptr, 0, 0), status::kFileNotOpen);
  }
  EXPECT_EQ(BTRCALL(kOpStat, nullptr, nullptr, nullptr, nullptr, 0, 0), status::kFileNotOpen);
}

}  // namespace
}  // namespace btrieve::test
