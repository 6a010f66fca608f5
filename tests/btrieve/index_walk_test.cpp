// The walk of each key's index pages: clean on every genuine file and on writer-built files, and
// each kind of damage found in copies of genuine files.
#include "btrieve/index_walk.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "btrieve/file_parser.h"
#include "btrieve/writer/writer.h"
#include "test_support.h"

namespace btrieve::test {
namespace {

using Bytes = std::vector<std::byte>;

std::string Describe(const std::vector<IndexFinding>& findings) {
  std::string text;
  for (const IndexFinding& f : findings)
    text +=
        "key " + std::to_string(f.key) + " page " + std::to_string(f.page) + ": " + f.what + "\n";
  return text;
}

TEST(IndexWalk, GenuineFilesAgreeWithTheirIndexes) {
  const auto dir = FixturesDir();
  if (!std::filesystem::exists(dir)) GTEST_SKIP() << "the genuine sample files are not present";
  int walked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".DAT") continue;
    const ParseResult parsed = ParseFile(ReadBytes(entry.path()));
    ASSERT_EQ(parsed.status, status::kSuccess) << entry.path();
    const std::vector<IndexFinding> findings = WalkIndexes(*parsed.file);
    EXPECT_TRUE(findings.empty()) << entry.path() << "\n" << Describe(findings);
    ++walked;
  }
  EXPECT_GE(walked, 5);
}

void SetWs32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  const std::uint32_t words[2] = {value >> 16, value & 0xFFFF};
  for (int w = 0; w < 2; ++w) {
    bytes[at + 2 * w] = static_cast<std::byte>(words[w] & 0xFF);
    bytes[at + 2 * w + 1] = static_cast<std::byte>(words[w] >> 8);
  }
}

// Both formats, keys of several kinds (unique, linked duplicates, segmented and descending, null
// values left out), in trees of one to three levels as the writer builds them.
TEST(IndexWalk, WrittenFilesAgreeWithTheirIndexes) {
  namespace kf = writer::key_flag;
  namespace kt = writer::key_type;
  constexpr std::uint16_t kExt = kf::kExtendedType;
  for (const writer::Format format : {writer::Format::kPre6, writer::Format::kV6}) {
    writer::FileSpec spec;
    spec.format = format;
    spec.pageSize = 512;
    spec.recordLength = 32;
    spec.keys = {
        {{{0, 4, kt::kInteger, kExt}}},
        {{{4, 8, kt::kZString, kExt | kf::kDuplicates}}},
        {{{12, 4, kt::kString, kExt | kf::kDuplicates | kf::kDescending},
          {16, 2, kt::kUnsignedBinary, kExt | kf::kDuplicates}}},
        {{{18, 2, kt::kUnsignedBinary, kExt | kf::kDuplicates | kf::kNullAll, 0}}},
        {{{20, 12, kt::kString, kExt}}},
    };
    constexpr std::int32_t kRecords = 2000;
    for (std::int32_t i = 0; i < kRecords; ++i) {
      const std::int32_t id = (i * 37) % kRecords - 20;
      Bytes record = Le(id, 4);
      record.resize(32, std::byte{0});
      record[4] = static_cast<std::byte>('a' + id % 5 + 2);
      record[12] = static_cast<std::byte>('K' + i % 3);
      record[16] = static_cast<std::byte>(i % 4);
      record[18] = static_cast<std::byte>(i % 7);
      std::string text(1, 'v');
      text += std::to_string(i * 7919 % kRecords);
      for (std::size_t c = 0; c < text.size(); ++c)
        record[20 + c] = static_cast<std::byte>(text[c]);
      spec.records.push_back(record);
    }
    writer::BuiltFile built = writer::Build(spec);
    const ParseResult parsed = ParseFile(built.bytes);
    ASSERT_EQ(parsed.status, status::kSuccess);
    const std::vector<IndexFinding> findings = WalkIndexes(*parsed.file);
    EXPECT_TRUE(findings.empty()) << Describe(findings);

    // Key 1's duplicate chains contradicting each other (a second head) is a finding of that key.
    const std::size_t pairs = (format == writer::Format::kV6 ? 2 : 0) + spec.recordLength;
    SetWs32(built.bytes, built.layout.recordSlots.back() + pairs, 0xFFFFFFFF);
    const ParseResult damaged = ParseFile(built.bytes);
    ASSERT_EQ(damaged.status, status::kSuccess);
    const std::vector<IndexFinding> chains = WalkIndexes(*damaged.file);
    ASSERT_FALSE(chains.empty());
    EXPECT_EQ(chains.back().key, 1U) << Describe(chains);
    EXPECT_NE(chains.back().what.find("the key's order: "), std::string::npos) << Describe(chains);
  }
}

// WCCACMS2.DAT (6.x, 4096-byte pages): the physical page of logical page `logical` in the current
// PAT (page 3).
std::size_t Physical(const Bytes& bytes, std::uint32_t logical) {
  const std::size_t entry = 3 * 4096 + 8 + 4 * (logical - 1);
  const auto b = [&](std::size_t i) { return std::to_integer<std::size_t>(bytes[entry + i]); };
  return (b(0) << 16) | (b(3) << 8) | b(2);
}

TEST(IndexWalk, DamagedCopiesOfGenuineFilesAreFlagged) {
  struct Damage {
    const char* name;
    const char* file;
    std::uint32_t key;
    const char* finding;
    std::function<void(Bytes&)> apply;
  };
  // VARIABLE.DAT (pre-6.0, 512-byte pages): key 1 (unique INTEGER) has its root in page 12,
  // leaves in pages 11 (keys 0-24) and 19; the record with key 1 = 25 lies at 0x0A06. Key 0
  // (linked duplicates) has its root in page 8. WCCACMS2.DAT: key 0's root is logical page 40,
  // its first leaf logical page 36.
  const Damage damages[] = {
      {"a key changed behind its index", "VARIABLE.DAT", 1, "differ from those of record",
       [](Bytes& b) { b[0x0A06 + 6] = std::byte{0x99}; }},
      {"an index entry pointing nowhere", "VARIABLE.DAT", 1, "where no record is",
       [](Bytes& b) { SetWs32(b, 11 * 512 + 12 + 4 + 2, 0x0A07); }},
      {"a cycle in the tree", "VARIABLE.DAT", 1, "reached a second time",
       [](Bytes& b) { SetWs32(b, 19 * 512 + 8, 12); }},
      {"a cycle in a 6.x tree", "WCCACMS2.DAT", 0, "reached a second time",
       [](Bytes& b) {
         const std::size_t leaf = Physical(b, 36) * 4096;
         b[leaf + 8] = std::byte{0};
         b[leaf + 9] = std::byte{0x80};
         b[leaf + 10] = std::byte{40};
         b[leaf + 11] = std::byte{0};
       }},
      {"entries out of order", "WCCACMS2.DAT", 0, "sorts before the entry before it",
       [](Bytes& b) {
         const std::size_t leaf = Physical(b, 36) * 4096;
         std::swap(b[leaf + 12 + 4], b[leaf + 12 + 10 + 4]);
       }},
      {"a child that is no index page", "WCCACMS2.DAT", 0, "not an index page of this key",
       [](Bytes& b) { b[Physical(b, 40) * 4096 + 12 + 2] = std::byte{2}; }},
      {"more entries than the page holds", "VARIABLE.DAT", 1, "does not fit the page",
       [](Bytes& b) { b[12 * 512 + 6] = std::byte{0xFF}; }},
      {"an empty root: 1024 records missing, the findings beyond 1000 counted", "VARIABLE.DAT", 1,
       "25 further findings are not listed",
       [](Bytes& b) {
         b[12 * 512 + 6] = std::byte{0};
         SetWs32(b, 12 * 512 + 8, 0xFFFFFFFF);
       }},
      {"a unique count the index does not hold", "VARIABLE.DAT", 1, "distinct values",
       [](Bytes& b) { SetWs32(b, 0x110 + 30 + 4, 1000); }},
      {"a duplicate entry whose last record is inside its chain", "VARIABLE.DAT", 0,
       "is not in the index",
       [](Bytes& b) {
         // Root entry 0's last duplicate becomes its first.
         const std::size_t entry = 8 * 512 + 12;
         for (std::size_t i = 0; i < 4; ++i)
           b[entry + 4 + 2 + 4 + i] = b[entry + 4 + 2 + i];
       }},
  };
  for (const Damage& damage : damages) {
    const std::filesystem::path path = FixturesDir() / damage.file;
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "the genuine sample files are not present";
    Bytes bytes = ReadBytes(path);
    damage.apply(bytes);
    const ParseResult parsed = ParseFile(std::move(bytes));
    ASSERT_EQ(parsed.status, status::kSuccess) << damage.name;
    const std::vector<IndexFinding> findings = WalkIndexes(*parsed.file);
    bool found = false;
    for (const IndexFinding& f : findings)
      found = found || (f.key == damage.key && f.what.find(damage.finding) != std::string::npos);
    EXPECT_TRUE(found) << damage.name << "\n" << Describe(findings);
  }
}

}  // namespace
}  // namespace btrieve::test
