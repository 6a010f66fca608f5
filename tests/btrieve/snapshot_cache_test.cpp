// The cache of parsed files: reuse only for the very same, settled file version; bounded by count
// and by bytes, least recently used out.
#include "btrieve/snapshot_cache.h"

#include <gtest/gtest.h>

#include <functional>

#include "btrieve/file_parser.h"
#include "written_file.h"

namespace btrieve::test {
namespace {

constexpr std::int64_t kSecond = 1'000'000'000;
constexpr std::int64_t kNow = 1'700'000'000 * kSecond;

std::shared_ptr<const ParsedFile> Parsed(int records) {
  std::vector<std::int32_t> ids;
  for (int i = 1; i <= records; ++i)
    ids.push_back(i);
  auto image = writer::Build(
                   writer::LibrarySpec(writer::Format::kPre6, 512, 16, 0, NumberedRecords(ids, 16)))
                   .bytes;
  ParseResult result = ParseFile(std::move(image));
  EXPECT_EQ(result.status, status::kSuccess);
  return result.file;
}

FileIdentity Identity(std::uint64_t inode) {
  FileIdentity identity;
  identity.device = 7;
  identity.inode = inode;
  identity.size = 1536;
  identity.modifiedNs = kNow - 10 * kSecond;
  identity.changedNs = kNow - 10 * kSecond;
  return identity;
}

TEST(SnapshotCache, ReusesOnlyTheSameSettledVersion) {
  SnapshotCache cache(8, 1 << 20);
  const auto file = Parsed(3);
  cache.Store(Identity(1), file, kNow);
  EXPECT_EQ(cache.Find(Identity(1), kNow), file);

  const std::function<void(FileIdentity&)> changes[] = {
      [](FileIdentity& i) { i.device = 8; },     [](FileIdentity& i) { i.inode = 2; },
      [](FileIdentity& i) { i.size += 512; },    [](FileIdentity& i) { i.modifiedNs += 1; },
      [](FileIdentity& i) { i.changedNs += 1; },
  };
  for (const auto& change : changes) {
    FileIdentity other = Identity(1);
    change(other);
    EXPECT_EQ(cache.Find(other, kNow), nullptr);
  }
}

TEST(SnapshotCache, FilesChangedWithinTwoSecondsAreNeitherStoredNorReused) {
  SnapshotCache cache(8, 1 << 20);
  FileIdentity recent = Identity(1);
  recent.changedNs = kNow - 2 * kSecond + 1;
  cache.Store(recent, Parsed(1), kNow);
  EXPECT_EQ(cache.Find(recent, kNow + 5 * kSecond), nullptr) << "not stored while fresh";

  FileIdentity settled = Identity(2);
  cache.Store(settled, Parsed(1), kNow);
  EXPECT_EQ(cache.Find(settled, settled.modifiedNs + kSecond), nullptr)
      << "a clock that says the file is fresh prevents reuse";
  EXPECT_NE(cache.Find(settled, kNow), nullptr);
}

TEST(SnapshotCache, ANewVersionReplacesTheOld) {
  SnapshotCache cache(8, 1 << 20);
  cache.Store(Identity(1), Parsed(1), kNow);
  FileIdentity newer = Identity(1);
  newer.modifiedNs += kSecond;
  const auto file = Parsed(2);
  cache.Store(newer, file, kNow);
  EXPECT_EQ(cache.Find(Identity(1), kNow), nullptr);
  EXPECT_EQ(cache.Find(newer, kNow), file);
}

TEST(SnapshotCache, LeastRecentlyUsedGoesFirst) {
  SnapshotCache byCount(2, 1 << 20);
  byCount.Store(Identity(1), Parsed(1), kNow);
  byCount.Store(Identity(2), Parsed(1), kNow);
  ASSERT_NE(byCount.Find(Identity(1), kNow), nullptr);  // 1 is now more recent than 2
  byCount.Store(Identity(3), Parsed(1), kNow);
  EXPECT_NE(byCount.Find(Identity(1), kNow), nullptr);
  EXPECT_EQ(byCount.Find(Identity(2), kNow), nullptr);
  EXPECT_NE(byCount.Find(Identity(3), kNow), nullptr);

  const auto file = Parsed(1);
  SnapshotCache byBytes(8, 2 * file->ImageSize());
  for (std::uint64_t inode = 1; inode <= 3; ++inode)
    byBytes.Store(Identity(inode), file, kNow);
  EXPECT_EQ(byBytes.Find(Identity(1), kNow), nullptr);
  EXPECT_NE(byBytes.Find(Identity(3), kNow), nullptr);
  SnapshotCache tooSmall(8, file->ImageSize() - 1);
  tooSmall.Store(Identity(1), file, kNow);
  EXPECT_EQ(tooSmall.Find(Identity(1), kNow), nullptr);
}

}  // namespace
}  // namespace btrieve::test
