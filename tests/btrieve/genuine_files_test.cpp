// The record manager on genuine record files (skipped when the fixture folder is absent).
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "btrieve/file_description.h"
#include "test_support.h"

namespace btrieve::test {
namespace {

std::string Fixture(const char* name) {
  const auto path = FixturesDir() / name;
  return std::filesystem::exists(path) ? path.string() : std::string();
}

#define REQUIRE_FIXTURE(variable, name)       \
  const std::string variable = Fixture(name); \
  if (variable.empty()) GTEST_SKIP() << name << " is not available"

// CRC-32, most significant bit first, polynomial 04C11DB7, initial FFFFFFFF, no reflection, no
// final xor.
std::uint32_t Crc32Msb(const std::vector<std::byte>& bytes) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (const std::byte b : bytes) {
    crc ^= std::uint32_t{std::to_integer<std::uint8_t>(b)} << 24;
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 0x80000000U) ? (crc << 1) ^ 0x04C11DB7U : crc << 1;
  }
  return crc;
}

TEST(GenuineFiles, StatOfPre6FileGivesTheFcrFigures) {
  REQUIRE_FIXTURE(path, "MBBSEMU.DAT");
  Handle handle;
  ASSERT_EQ(handle.Open(path), status::kSuccess);
  const GetResult stat = handle.Stat();
  ASSERT_EQ(stat.status, status::kSuccess);
  ASSERT_EQ(stat.data.size(), 16U + 4 * 16);
  EXPECT_EQ(stat.key[0], std::byte{0});
  EXPECT_EQ(ReadLe(stat.data, 0, 2, false), 74);
  EXPECT_EQ(ReadLe(stat.data, 2, 2, false), 512);
  EXPECT_EQ(ReadLe(stat.data, 4, 2, false), 4);
  EXPECT_EQ(ReadLe(stat.data, 6, 4, false), 4);
  EXPECT_EQ(ReadLe(stat.data, 10, 2, false), 0);
  const int positions[] = {3, 35, 39, 71};
  const int lengths[] = {32, 4, 32, 4};
  const int flags[] = {0x101, 0x102, 0x103, 0x100};
  const int types[] = {11, 1, 11, 15};
  for (int i = 0; i < 4; ++i) {
    const std::size_t entry = 16 + 16 * static_cast<std::size_t>(i);
    EXPECT_EQ(ReadLe(stat.data, entry, 2, false), positions[i]) << "segment " << i;
    EXPECT_EQ(ReadLe(stat.data, entry + 2, 2, false), lengths[i]) << "segment " << i;
    EXPECT_EQ(ReadLe(stat.data, entry + 4, 2, false), flags[i]) << "segment " << i;
    EXPECT_EQ(ReadLe(stat.data, entry + 10, 1, false), types[i]) << "segment " << i;
    EXPECT_EQ(ReadLe(stat.data, entry + 14, 1, false), i) << "segment " << i;
  }
}

// Each key of MBBSEMU.DAT walked from its first record: key 0 holds four duplicates that must come
// in the order of their duplicate chain (key 3 = 1..4 tells which record is which).
TEST(GenuineFiles, Pre6FileRecordsInTheOrderOfEachKey) {
  REQUIRE_FIXTURE(path, "MBBSEMU.DAT");
  struct Case {
    std::int8_t key;
    std::vector<std::byte> first;
    std::vector<std::int64_t> autoincrements;  // key 3 of each record in the key's order
  };
  const Case cases[] = {
      {0, Text("Sysop", 32), {1, 2, 3, 4}},
      {1, Le(-615634567, 4), {4, 1, 2, 3}},
      {2, Text("3444", 32), {1, 2, 3, 4}},
      {3, Le(1, 4), {1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    Handle handle;
    ASSERT_EQ(handle.Open(path), status::kSuccess);
    GetResult result = handle.Get(kOpGetEqual, c.first, 74, c.key);
    std::vector<std::int64_t> seen;
    while (result.status == status::kSuccess) {
      ASSERT_EQ(result.data.size(), 74U);
      seen.push_back(ReadLe(result.data, 70, 4, true));
      result = handle.Get(kOpGetNext, c.first, 74, c.key);
    }
    EXPECT_EQ(result.status, status::kEndOfFile) << "key " << int{c.key};
    EXPECT_EQ(seen, c.autoincrements) << "key " << int{c.key};
  }
}

TEST(GenuineFiles, Pre6FileWithUnsignedKeysAndDuplicates) {
  REQUIRE_FIXTURE(path, "MBMGEPLT.DAT");
  Handle handle;
  ASSERT_EQ(handle.Open(path), status::kSuccess);
  GetResult result = handle.Get(kOpGetEqual, Le(2, 2), 493, 2);
  ASSERT_EQ(result.status, status::kSuccess);
  std::vector<std::int64_t> keys;
  while (result.status == status::kSuccess) {
    keys.push_back(ReadLe(result.key, 0, 2, false));
    EXPECT_EQ(ReadLe(result.data, 6, 2, false), keys.back());
    result = handle.Get(kOpGetNext, Le(0, 2), 493, 2);
  }
  EXPECT_EQ(result.status, status::kEndOfFile);
  EXPECT_EQ(keys, (std::vector<std::int64_t>{2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3}));

  const GetResult last = handle.Get(kOpGetLast, Le(0, 6), 493, 0);
  ASSERT_EQ(last.status, status::kSuccess);
  EXPECT_EQ(handle.Stat().data.size(), 16U + 3 * 16);
  EXPECT_EQ(ReadLe(handle.Stat().data, 6, 4, false), 22);
}

// WCCACMS2.DAT keeps many stale shadow copies of its data pages: only the current PAT gives the
// 7639 records, whose CRCs in key order are listed beside the file.
TEST(GenuineFiles, V6FileWithShadowPagesInKeyOrder) {
  REQUIRE_FIXTURE(path, "WCCACMS2.DAT");
  REQUIRE_FIXTURE(crcPath, "WCCACMS2.crc.tsv");
  std::map<std::int64_t, std::uint32_t> expected;
  std::ifstream table(crcPath);
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::int64_t key = 0;
    std::string crc;
    fields >> key >> crc;
    expected[key] = static_cast<std::uint32_t>(std::stoul(crc, nullptr, 16));
  }
  ASSERT_EQ(expected.size(), 7639U);

  Handle handle;
  ASSERT_EQ(handle.Open(path), status::kSuccess);
  const GetResult last = handle.Get(kOpGetLast, Le(0, 2), 400);
  ASSERT_EQ(last.status, status::kSuccess);
  EXPECT_EQ(ReadLe(last.key, 0, 2, true), 7639);

  GetResult result = handle.Get(kOpGetEqual, Le(1, 2), 400);
  std::int64_t next = 1;
  int mismatches = 0;
  while (result.status == status::kSuccess) {
    ASSERT_EQ(ReadLe(result.key, 0, 2, true), next);
    ASSERT_EQ(result.data.size(), 400U);
    if (Crc32Msb(result.data) != expected[next]) ++mismatches;
    ++next;
    result = handle.Get(kOpGetNext, Le(0, 2), 400);
  }
  EXPECT_EQ(result.status, status::kEndOfFile);
  EXPECT_EQ(next, 7640);
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(ReadLe(handle.Stat().data, 6, 4, false), 7639);
}

TEST(GenuineFiles, DescriptionsGiveFormatAndSlotSize) {
  struct Case {
    const char* name;
    bool preV6;
    std::uint16_t version;
    std::uint32_t pageSize;
    std::uint16_t physical;
    std::uint32_t records;
    std::uint32_t pages;
  };
  const Case cases[] = {
      {"MBBSEMU.DAT", true, 4, 512, 90, 4, 6},
      {"MBMGEPLT.DAT", true, 4, 1024, 509, 22, 15},
      {"WCCACMS2.DAT", false, 0x0600, 4096, 402, 7639, 881},
      {"VARIABLE.DAT", true, 4, 512, 20, 1024, 1156},
      {"MULTIACS.DAT", false, 0x0610, 4096, 142, 0, 10},
  };
  for (const Case& c : cases) {
    const std::string path = Fixture(c.name);
    if (path.empty()) continue;
    Handle handle;
    ASSERT_EQ(handle.Open(path), status::kSuccess) << c.name;
    const auto description = DescribeOpenFile(handle.Block());
    ASSERT_TRUE(description.has_value()) << c.name;
    EXPECT_EQ(description->preV6, c.preV6) << c.name;
    EXPECT_EQ(description->version, c.version) << c.name;
    EXPECT_EQ(description->pageSize, c.pageSize) << c.name;
    EXPECT_EQ(description->physicalRecordLength, c.physical) << c.name;
    EXPECT_EQ(description->recordCount, c.records) << c.name;
    EXPECT_EQ(description->physicalPages, c.pages) << c.name;
    ASSERT_EQ(handle.Close(), status::kSuccess);
    EXPECT_FALSE(DescribeOpenFile(handle.Block()).has_value()) << c.name;
  }
}

// VARIABLE.DAT: record i (0..1023) is DEADBEEF, i mod 64 (key 0, duplicates), i (key 1), then a
// variable part of i bytes 00 01 02 ... spread over up to three fragments.
std::vector<std::byte> VariableRecord(int i) {
  std::vector<std::byte> record = Le(0xDEADBEEF, 4);
  for (const std::byte b : Le(i % 64, 2))
    record.push_back(b);
  for (const std::byte b : Le(i, 2))
    record.push_back(b);
  for (int j = 0; j < i; ++j)
    record.push_back(static_cast<std::byte>(j % 256));
  return record;
}

TEST(GenuineFiles, VariableLengthRecordsReadByteForByte) {
  REQUIRE_FIXTURE(path, "VARIABLE.DAT");
  Handle handle;
  ASSERT_EQ(handle.Open(path), status::kSuccess);
  const GetResult stat = handle.Stat();
  ASSERT_EQ(stat.status, status::kSuccess);
  EXPECT_EQ(ReadLe(stat.data, 0, 2, false), 8) << "Stat reports the fixed length";
  EXPECT_EQ(ReadLe(stat.data, 6, 4, false), 1024);
  EXPECT_EQ(ReadLe(stat.data, 10, 2, false) & 1, 1);

  GetResult result = handle.Get(kOpGetEqual, Le(0, 2), 2000, 1);
  int next = 0;
  int mismatches = 0;
  while (result.status == status::kSuccess) {
    if (result.data != VariableRecord(next)) ++mismatches;
    ++next;
    result = handle.Get(kOpGetNext, Le(0, 2), 2000, 1);
  }
  EXPECT_EQ(result.status, status::kEndOfFile);
  EXPECT_EQ(next, 1024);
  EXPECT_EQ(mismatches, 0);

  // Key 0 holds each value 16 times, in insertion order.
  result = handle.Get(kOpGetEqual, Le(5, 2), 2000, 0);
  std::vector<std::int64_t> ids;
  while (result.status == status::kSuccess && ReadLe(result.key, 0, 2, true) == 5) {
    ids.push_back(ReadLe(result.data, 6, 2, true));
    result = handle.Get(kOpGetNext, Le(0, 2), 2000, 0);
  }
  std::vector<std::int64_t> expected;
  for (int i = 5; i < 1024; i += 64)
    expected.push_back(i);
  EXPECT_EQ(ids, expected);

  // Shorter buffers (the fixed length, within the second fragment): what fits, and 22.
  const std::vector<std::byte> longest = VariableRecord(1023);
  for (const std::uint32_t length : {8U, 600U, 8U + 1022}) {
    const GetResult part = handle.Get(kOpGetEqual, Le(1023, 2), length, 1);
    EXPECT_EQ(part.status, status::kDataBufferTooShort) << length;
    EXPECT_EQ(part.data, std::vector<std::byte>(longest.begin(), longest.begin() + length));
  }
  const GetResult exact = handle.Get(kOpGetEqual, Le(1023, 2), 8 + 1023, 1);
  EXPECT_EQ(exact.status, status::kSuccess);
  EXPECT_EQ(exact.data, longest);
}

TEST(GenuineFiles, EmptyVariableFileWithTwoCollatingSequencesOpens) {
  REQUIRE_FIXTURE(path, "MULTIACS.DAT");
  Handle handle;
  ASSERT_EQ(handle.Open(path), status::kSuccess);
  const GetResult stat = handle.Stat();
  ASSERT_EQ(stat.status, status::kSuccess);
  EXPECT_EQ(ReadLe(stat.data, 0, 2, false), 128);
  EXPECT_EQ(ReadLe(stat.data, 4, 2, false), 3);
  EXPECT_EQ(ReadLe(stat.data, 6, 4, false), 0);
  // Keys 0 and 2 use the two ACS pages; key 1 has a FLOAT segment.
  EXPECT_EQ(handle.Get(kOpGetLast, Text("", 16), 200, 0).status, status::kEndOfFile);
  EXPECT_EQ(handle.Get(kOpGetEqual, Text("A", 16), 200, 0).status, status::kKeyNotFound);
  EXPECT_EQ(handle.Get(kOpGetLast, Text("", 12), 200, 1).status, status::kEndOfFile);
  EXPECT_EQ(handle.Get(kOpGetLast, Text("", 16), 200, 2).status, status::kEndOfFile);
}

// The walk under kl7 records and the loaders gives what Get Next gives, in every key of every file.
TEST(GenuineFiles, WalksGiveWhatGetNextGives) {
  if (!std::filesystem::exists(FixturesDir())) GTEST_SKIP() << "no fixtures";
  for (const auto& entry : std::filesystem::directory_iterator(FixturesDir())) {
    if (entry.path().extension() != ".DAT") continue;
    Handle handle;
    if (handle.Open(entry.path().string()) != status::kSuccess) continue;
    const GetResult stat = handle.Stat(65535);
    const auto keys = static_cast<std::int8_t>(ReadLe(stat.data, 4, 2, false));
    for (std::int8_t key = 0; key < keys; ++key)
      ExpectWalkAsGetNext(entry.path().string(), key);
  }
}

}  // namespace
}  // namespace btrieve::test
