// Tests of the record-file writer: the byte-exact minimal files of both formats, and the structure
// of each deliberate damage variant (the reader's own tests exercise the files in depth).
#include "btrieve/writer/writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

namespace btrieve::writer {
namespace {

using Bytes = std::vector<std::byte>;

// ---- small decoders over the built image ----

std::uint16_t U16(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(std::to_integer<unsigned>(b.at(at)) |
                                    std::to_integer<unsigned>(b.at(at + 1)) << 8);
}
std::uint32_t U32(const Bytes& b, std::size_t at) {
  return U16(b, at) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16;
}
std::uint32_t Ws32(const Bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(U16(b, at)) << 16 | U16(b, at + 2);
}
std::uint8_t U8(const Bytes& b, std::size_t at) {
  return std::to_integer<std::uint8_t>(b.at(at));
}
std::uint32_t PrefPage(const Bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(U8(b, at)) << 16 | U16(b, at + 2);
}
std::uint8_t PrefType(const Bytes& b, std::size_t at) {
  return U8(b, at + 1);
}

Bytes Page(const Bytes& b, std::size_t page, std::size_t pageSize) {
  return Bytes(b.begin() + static_cast<std::ptrdiff_t>(page * pageSize),
               b.begin() + static_cast<std::ptrdiff_t>((page + 1) * pageSize));
}

// Writes "aa bb cc" hex text into page at offset.
void PutHex(Bytes& page, std::size_t at, const std::string& hex) {
  std::istringstream in(hex);
  std::string item;
  while (in >> item)
    page.at(at++) = static_cast<std::byte>(std::stoul(item, nullptr, 16));
}

// A record of `length` bytes: 0, "entry n" from offset 1, INTEGER n at keyOffset.
Bytes EntryRecord(std::uint16_t length, std::uint16_t keyOffset, std::int32_t n) {
  Bytes record(length, std::byte{0});
  const std::string text = "entry " + std::to_string(n);
  std::memcpy(record.data() + 1, text.data(), text.size());
  std::memcpy(record.data() + keyOffset, &n, 4);
  return record;
}

std::vector<Bytes> EntryRecords(std::uint16_t length, std::uint16_t keyOffset, int count) {
  std::vector<Bytes> records;
  for (int n = 1; n <= count; ++n)
    records.push_back(EntryRecord(length, keyOffset, n));
  return records;
}

// ---- byte-exact minimal files ----

TEST(Writer, BuildsTheMinimalV6FileByteForByte) {
  const BuiltFile built = Build(LibrarySpec(Format::kV6, 4096, 64, 48, EntryRecords(64, 48, 3)));
  ASSERT_EQ(built.bytes.size(), 6u * 4096);

  Bytes fcr(4096, std::byte{0});
  PutHex(fcr, 0x000, "46 43 00 00 02 00 00 00 00 10 00 00 ff ff ff ff");
  PutHex(fcr, 0x010, "ff ff ff ff 01 00 40 00 42 00 00 00 03 00 00 00");
  PutHex(fcr, 0x020, "00 00 ff ff 01 00 00 00 03 00 00 00 00 00 00 00");
  PutHex(fcr, 0x040, "00 00 00 00 00 00 00 00 00 00 00 06 00 00 00 00");
  PutHex(fcr, 0x070, "00 00 00 00 00 00 01 01 10 0f 00 00 00 00 00 00");
  PutHex(fcr, 0x110, "00 80 01 00 00 00 03 00 00 01 04 00 0c 00 54 01");
  PutHex(fcr, 0x120, "aa 00 00 00 32 00 04 00 80 00 00 00 01 00 00 00");
  PutHex(fcr, 0xf10, "10 01");
  EXPECT_EQ(Page(built.bytes, 0, 4096), fcr);

  Bytes staleFcr = fcr;
  PutHex(staleFcr, 0x004, "01");
  PutHex(staleFcr, 0x01c, "00");
  PutHex(staleFcr, 0x028, "01");
  EXPECT_EQ(Page(built.bytes, 1, 4096), staleFcr);

  Bytes pat(4096, std::byte{0});
  PutHex(pat, 0x000, "50 50 01 00 02 00 00 00 00 80 04 00 00 44 05 00");
  EXPECT_EQ(Page(built.bytes, 2, 4096), pat);
  Bytes stalePat(4096, std::byte{0});
  PutHex(stalePat, 0x000, "50 50 01 00 01 00 00 00");
  EXPECT_EQ(Page(built.bytes, 3, 4096), stalePat);

  Bytes index(4096, std::byte{0});
  PutHex(index, 0x000, "00 80 01 00 01 00 03 00 ff ff ff ff ff ff ff ff");
  PutHex(index, 0x010, "01 00 00 00 00 00 06 20 ff ff ff ff 02 00 00 00");
  PutHex(index, 0x020, "00 00 48 20 ff ff ff ff 03 00 00 00 00 00 8a 20");
  EXPECT_EQ(Page(built.bytes, 4, 4096), index);

  Bytes data(4096, std::byte{0});
  PutHex(data, 0x000, "00 44 02 00 01 80");
  for (int n = 1; n <= 3; ++n) {
    const std::size_t slot = 6 + 66 * static_cast<std::size_t>(n - 1);
    PutHex(data, slot, "01 00");
    const Bytes record = EntryRecord(64, 48, n);
    std::copy(record.begin(), record.end(), data.begin() + static_cast<std::ptrdiff_t>(slot + 2));
  }
  PutHex(data, 0x000, "00 44 02 00 01 80 01 00 00 65 6e 74 72 79 20 31");  // as dumped
  PutHex(data, 0x038, "01 00 00 00");
  PutHex(data, 0x048, "01 00 00 65 6e 74 72 79 20 32");
  EXPECT_EQ(Page(built.bytes, 5, 4096), data);

  EXPECT_EQ(built.layout.currentFcrPage, 0u);
  EXPECT_EQ(built.layout.currentPatPages, std::vector<std::uint32_t>{2});
  EXPECT_EQ(built.layout.dataPages, std::vector<std::uint32_t>{5});
  EXPECT_EQ(built.layout.recordAddresses, (std::vector<std::uint32_t>{0x2006, 0x2048, 0x208A}));
}

TEST(Writer, BuildsTheMinimalPre6FileByteForByte) {
  const BuiltFile built = Build(LibrarySpec(Format::kPre6, 512, 64, 48, EntryRecords(64, 48, 3)));
  ASSERT_EQ(built.bytes.size(), 3u * 512);

  Bytes fcr(512, std::byte{0});
  PutHex(fcr, 0x000, "00 00 00 00 01 00 00 04 00 02 00 00 ff ff ff ff");
  PutHex(fcr, 0x010, "ff ff ff ff 01 00 40 00 40 00 00 00 03 00 00 00");
  PutHex(fcr, 0x020, "02 00 00 00 01 00 00 00 03 00");  // last data page 2, 3 pages
  PutHex(fcr, 0x110, "00 00 01 00 00 00 03 00 00 01 04 00 0c 00 29 00");
  PutHex(fcr, 0x120, "14 00 00 00 30 00 04 00 00 00 00 00 01 00");
  EXPECT_EQ(Page(built.bytes, 0, 512), fcr);

  Bytes index(512, std::byte{0});
  PutHex(index, 0x000, "00 00 01 00 01 00 03 00 ff ff ff ff ff ff ff ff");
  PutHex(index, 0x010, "01 00 00 00 00 00 06 04 ff ff ff ff 02 00 00 00");
  PutHex(index, 0x020, "00 00 46 04 ff ff ff ff 03 00 00 00 00 00 86 04");
  EXPECT_EQ(Page(built.bytes, 1, 512), index);

  Bytes data(512, std::byte{0});
  PutHex(data, 0x000, "00 00 02 00 01 80");
  for (int n = 1; n <= 3; ++n) {
    const Bytes record = EntryRecord(64, 48, n);
    std::copy(record.begin(), record.end(), data.begin() + 6 + 64 * (n - 1));
  }
  EXPECT_EQ(Page(built.bytes, 2, 512), data);
}

// ---- structure of the variants ----

constexpr std::uint32_t kNone = 0xFFFFFFFF;

std::size_t DataStart(Format format) {
  return format == Format::kV6 ? 2 : 0;
}

// Record index by record address.
std::map<std::uint32_t, std::size_t> RecordsByAddress(const Layout& layout) {
  std::map<std::uint32_t, std::size_t> byAddress;
  for (std::size_t r = 0; r < layout.recordAddresses.size(); ++r) {
    byAddress[layout.recordAddresses[r]] = r;
  }
  return byAddress;
}

TEST(Writer, LinkedDuplicatesChainInInsertionOrderInBothFormats) {
  struct Row {
    Format format;
    bool reverse;
  };
  for (const Row row : {Row{Format::kPre6, false}, Row{Format::kPre6, true},
                        Row{Format::kV6, false}, Row{Format::kV6, true}}) {
    SCOPED_TRACE(testing::Message()
                 << "v6=" << (row.format == Format::kV6) << " reverse=" << row.reverse);
    // Key 0: two string segments (bytes 0-1 and 4-5) with linked duplicates; key 1: unique at 8.
    const std::uint16_t dup = key_flag::kExtendedType | key_flag::kDuplicates;
    FileSpec file;
    file.format = row.format;
    file.pageSize = 512;
    file.recordLength = 16;
    file.keys = {
        Key{{Segment{0, 2, key_type::kString, dup, 0}, Segment{4, 2, key_type::kString, dup, 0}}},
        Key{{Segment{8, 4}}}};
    file.reversePhysicalOrder = row.reverse;
    const std::string groups = "ABAABCA";  // key value of each record, in insertion order
    for (std::size_t r = 0; r < groups.size(); ++r) {
      Bytes record(16, std::byte{0});
      record[0] = record[5] = static_cast<std::byte>(groups[r]);
      record[8] = static_cast<std::byte>(r + 1);
      file.records.push_back(record);
    }
    const BuiltFile built = Build(file);
    const Bytes& b = built.bytes;
    const std::size_t d = DataStart(row.format);
    const std::size_t pointers = d + 16;
    EXPECT_EQ(built.layout.physicalRecordLength, pointers + 8);

    const std::size_t fcr = built.layout.currentFcrPage * 512u;
    EXPECT_EQ(U16(b, fcr + 0x110 + 0x08), dup | key_flag::kSegmented);
    EXPECT_EQ(U16(b, fcr + 0x110 + 0x12), pointers);
    EXPECT_EQ(Ws32(b, fcr + 0x110 + 0x04), 3u);  // distinct values A, B, C
    EXPECT_EQ(U16(b, fcr + 0x110 + 30 + 0x08), dup);
    EXPECT_EQ(U16(b, fcr + 0x110 + 30 + 0x14), 4 + d);
    EXPECT_EQ(U16(b, fcr + 0x110 + 60 + 0x12), 0u);  // key 1 has no pointer pair

    // Walk each chain from its head (previous = none) and compare with insertion order.
    const auto byAddress = RecordsByAddress(built.layout);
    std::map<char, std::vector<std::size_t>> walked;
    for (std::size_t r = 0; r < groups.size(); ++r) {
      const std::size_t slot = built.layout.recordSlots[r];
      if (Ws32(b, slot + pointers) != kNone) continue;
      std::uint32_t address = built.layout.recordAddresses[r];
      for (std::size_t guard = 0; address != kNone && guard < groups.size(); ++guard) {
        ASSERT_TRUE(byAddress.count(address));
        const std::size_t at = byAddress.at(address);
        walked[groups[r]].push_back(at);
        address = Ws32(b, built.layout.recordSlots[at] + pointers + 4);
      }
    }
    EXPECT_EQ(walked['A'], (std::vector<std::size_t>{0, 2, 3, 6}));
    EXPECT_EQ(walked['B'], (std::vector<std::size_t>{1, 4}));
    EXPECT_EQ(walked['C'], (std::vector<std::size_t>{5}));

    // Addresses name the slots: file offsets (pre-6.0) or logical page * P + offset (6.x).
    for (std::size_t r = 0; r < groups.size(); ++r) {
      const std::size_t slot = built.layout.recordSlots[r];
      const std::uint32_t address = built.layout.recordAddresses[r];
      EXPECT_EQ(address % 512, slot % 512);
      const std::size_t page = slot / 512 * 512;
      EXPECT_EQ(address / 512, row.format == Format::kV6 ? PrefPage(b, page) : Ws32(b, page));
      EXPECT_EQ(b[slot + d + 8], static_cast<std::byte>(r + 1));
    }
    // Key 0's leaf holds one entry per distinct value, naming the first and last of its chain.
    const std::size_t root = built.layout.indexPages[0] * 512u;
    ASSERT_EQ(U16(b, root + 6), 3u);
    EXPECT_EQ(Ws32(b, root + 16 + 4), built.layout.recordAddresses[0]);
    EXPECT_EQ(Ws32(b, root + 16 + 8), built.layout.recordAddresses[6]);
  }
}

TEST(Writer, StaleCopiesHaveLowerUsageCounts) {
  for (const StaleCopy fcrChoice : {StaleCopy::kFirst, StaleCopy::kSecond}) {
    for (const StaleCopy patChoice : {StaleCopy::kFirst, StaleCopy::kSecond}) {
      for (const bool disagree : {false, true}) {
        SCOPED_TRACE(testing::Message() << "fcr=" << static_cast<int>(fcrChoice) << " pat="
                                        << static_cast<int>(patChoice) << " disagree=" << disagree);
        FileSpec file = LibrarySpec(Format::kV6, 1024, 100, 0, EntryRecords(100, 0, 20));
        file.staleFcr = fcrChoice;
        file.stalePat = patChoice;
        file.staleCopiesDisagree = disagree;
        const BuiltFile built = Build(file);
        const Bytes& b = built.bytes;
        const Layout& layout = built.layout;

        EXPECT_EQ(layout.currentFcrPage, fcrChoice == StaleCopy::kFirst ? 1u : 0u);
        EXPECT_EQ(layout.staleFcrPage, 1 - layout.currentFcrPage);
        const std::size_t current = layout.currentFcrPage * 1024u;
        const std::size_t stale = layout.staleFcrPage * 1024u;
        EXPECT_GT(U32(b, current + 4), U32(b, stale + 4));
        EXPECT_EQ(Ws32(b, current + 0x1A), 20u);
        EXPECT_EQ(Ws32(b, stale + 0x1A), disagree ? 0u : 20u);

        ASSERT_EQ(layout.currentPatPages.size(), 1u);
        EXPECT_EQ(layout.currentPatPages[0], patChoice == StaleCopy::kFirst ? 3u : 2u);
        const std::size_t pat = layout.currentPatPages[0] * 1024u;
        const std::size_t oldPat = layout.stalePatPages[0] * 1024u;
        EXPECT_GT(U32(b, pat + 4), U32(b, oldPat + 4));
        const Bytes entries(b.begin() + static_cast<std::ptrdiff_t>(pat + 8),
                            b.begin() + static_cast<std::ptrdiff_t>(pat + 1024));
        const Bytes oldEntries(b.begin() + static_cast<std::ptrdiff_t>(oldPat + 8),
                               b.begin() + static_cast<std::ptrdiff_t>(oldPat + 1024));
        if (disagree) {
          EXPECT_EQ(oldEntries, Bytes(1016, std::byte{0}));
        } else {
          EXPECT_EQ(oldEntries, entries);
        }
      }
    }
  }
}

// Checks every logical page the current PATs map: right pair, right header, never a PAT position.
void ExpectPatMapsLogicalPages(const BuiltFile& built) {
  const Bytes& b = built.bytes;
  const std::uint32_t p = built.layout.pageSize;
  const std::uint32_t perPair = p / 4 - 2;
  const std::uint32_t bound = Ws32(b, built.layout.currentFcrPage * p + 0x26);
  std::set<std::uint32_t> patPositions;
  for (std::size_t k = 0; k < built.layout.currentPatPages.size(); ++k) {
    const auto first = static_cast<std::uint32_t>(2 + k * (p / 4));
    patPositions.insert({first, first + 1});
    EXPECT_TRUE(built.layout.currentPatPages[k] == first ||
                built.layout.currentPatPages[k] == first + 1);
    EXPECT_EQ(U16(b, built.layout.currentPatPages[k] * p), 0x5050);
  }
  std::vector<std::uint32_t> mappedData;
  for (std::uint32_t logical = 1; logical < bound; ++logical) {
    const std::uint32_t pair = (logical - 1) / perPair;
    ASSERT_LT(pair, built.layout.currentPatPages.size());
    const std::size_t entry =
        built.layout.currentPatPages[pair] * p + 4 + 4 * (logical - pair * perPair);
    const std::uint32_t physical = PrefPage(b, entry);
    EXPECT_FALSE(patPositions.count(physical)) << "logical " << logical;
    EXPECT_EQ(PrefPage(b, physical * p), logical);
    EXPECT_EQ(PrefType(b, physical * p), PrefType(b, entry));
    if (PrefType(b, entry) == 0x44) mappedData.push_back(physical);
  }
  EXPECT_EQ(mappedData, built.layout.dataPages);
}

TEST(Writer, LargeV6FilesGetFurtherPatPairsAtFixedPlaces) {
  struct Row {
    StaleCopy stalePat;
    std::vector<std::uint32_t> currentPats;
  };
  for (const Row& row :
       {Row{StaleCopy::kSecond, {2, 130, 258}}, Row{StaleCopy::kFirst, {3, 131, 259}}}) {
    // 512-byte pages, 2 slots each: 600 records need 300 data pages and 3 PAT pairs of 126 entries.
    FileSpec file = LibrarySpec(Format::kV6, 512, 250, 0, EntryRecords(250, 0, 600));
    file.stalePat = row.stalePat;
    const BuiltFile built = Build(file);
    EXPECT_EQ(built.layout.currentPatPages, row.currentPats);
    EXPECT_EQ(built.layout.dataPages.size(), 300u);
    // 600 index entries of 12 bytes, 41 a page: a root and 15 leaves; 300 data pages; plus one.
    EXPECT_EQ(Ws32(built.bytes, 0x26), 317u);
    ExpectPatMapsLogicalPages(built);
  }
}

TEST(Writer, ShadowPagesCopyLivePagesWithWrongRecords) {
  FileSpec file =
      LibrarySpec(Format::kV6, 512, 100, 10, EntryRecords(100, 10, 10));  // 3 data pages
  file.shadowPages = 2;
  const BuiltFile built = Build(file);
  const Bytes& b = built.bytes;
  ASSERT_EQ(built.layout.shadowPages.size(), 2u);
  ExpectPatMapsLogicalPages(built);

  std::map<std::uint32_t, std::uint32_t> liveByLogical;
  for (const std::uint32_t page : built.layout.dataPages)
    liveByLogical[PrefPage(b, page * 512u)] = page;
  const std::size_t stalePat = built.layout.stalePatPages[0] * 512u;
  for (const std::uint32_t shadow : built.layout.shadowPages) {
    const std::size_t at = shadow * 512u;
    EXPECT_EQ(PrefType(b, at), 0x44);
    const std::uint32_t logical = PrefPage(b, at);
    ASSERT_TRUE(liveByLogical.count(logical));
    const std::size_t live = liveByLogical[logical] * 512u;
    EXPECT_NE(U16(b, at + 4) & 0x8000, 0);
    EXPECT_GT(U16(b, at + 4), U16(b, live + 4));
    // Same slot usage counts, every record byte different.
    EXPECT_EQ(U16(b, at + 6), U16(b, live + 6));
    for (std::size_t i = 0; i < 100; ++i)
      EXPECT_NE(b[at + 8 + i], b[live + 8 + i]);
    // The stale PAT copy points the logical page at the shadow.
    EXPECT_EQ(PrefPage(b, stalePat + 4 + 4 * logical), shadow);
  }
}

TEST(Writer, FreeSlotsSitBetweenUsedOnesOnAWalkableChain) {
  FileSpec file = LibrarySpec(Format::kV6, 512, 60, 0, EntryRecords(60, 0, 19));
  file.freeSlotEvery = 3;
  const BuiltFile built = Build(file);
  const Bytes& b = built.bytes;
  const std::size_t slot = built.layout.physicalRecordLength;
  ASSERT_EQ(built.layout.freeSlots.size(), 6u);  // after records 3, 6, ..., 18

  std::set<std::size_t> used(built.layout.recordSlots.begin(), built.layout.recordSlots.end());
  for (std::size_t i = 0; i < built.layout.freeSlots.size(); ++i) {
    const std::size_t at = built.layout.freeSlots[i];
    EXPECT_EQ(U16(b, at), 0u);
    EXPECT_TRUE(used.count(at - slot) || (at % 512) == 6);
    EXPECT_TRUE(used.count(at + slot) || (at % 512) + 2 * slot > 506);
    for (std::size_t j = 6; j < slot; ++j)
      EXPECT_EQ(b[at + j], std::byte{0});
    // The pointer names the next free slot by record address; the last ends the chain.
    const std::uint32_t following = Ws32(b, at + 2);
    if (i + 1 == built.layout.freeSlots.size()) {
      EXPECT_EQ(following, kNone);
    } else {
      const std::size_t next = built.layout.freeSlots[i + 1];
      EXPECT_EQ(following % 512, next % 512);
      EXPECT_EQ(following / 512, PrefPage(b, next / 512 * 512));
    }
  }
  for (const std::size_t at : used)
    EXPECT_EQ(U16(b, at), 1u);
}

TEST(Writer, DeletedSlotsFormAChainFromTheFcrAndHoldJunk) {
  FileSpec file = LibrarySpec(Format::kPre6, 512, 40, 0, EntryRecords(40, 0, 10));
  file.deletedEvery = 3;
  const BuiltFile built = Build(file);
  const Bytes& b = built.bytes;
  const std::set<std::uint32_t> dataPages(built.layout.dataPages.begin(),
                                          built.layout.dataPages.end());

  std::vector<std::size_t> walked;
  for (std::uint32_t at = Ws32(b, 0x10); at != kNone && walked.size() < 100; at = Ws32(b, at)) {
    ASSERT_LT(at, b.size());
    EXPECT_TRUE(dataPages.count(at / 512));
    EXPECT_EQ((at % 512 - 6) % 40, 0u);  // on a slot boundary
    for (std::size_t j = 4; j < 40; ++j)
      EXPECT_NE(b[at + j], std::byte{0});
    walked.push_back(at);
  }
  EXPECT_EQ(walked, built.layout.deletedSlots);
  EXPECT_EQ(walked.size(), 3u);
  EXPECT_EQ(Ws32(b, 0x1A), 10u);

  // 13 slots of 40 bytes fill page one (12 slots) and one slot of page two; the rest stays zero.
  const std::size_t lastPage = built.layout.dataPages.back() * 512u;
  EXPECT_EQ(Ws32(b, 0x1E), built.layout.dataPages.back());
  for (std::size_t j = 6 + 40; j < 512; ++j)
    EXPECT_EQ(b[lastPage + j], std::byte{0});
}

TEST(Writer, HeaderFieldsFollowTheVariantSettings) {
  for (const Format format : {Format::kPre6, Format::kV6}) {
    SCOPED_TRACE(format == Format::kV6 ? "v6" : "pre6");
    FileSpec file = LibrarySpec(format, 1024, 32, 4, EntryRecords(32, 4, 5));
    file.junkPages = 3;
    file.recordCountOverride = 7;
    file.version = format == Format::kV6 ? 0x0610 : 5;
    file.fileFlags = file_flag::kVariableLength;
    const BuiltFile built = Build(file);
    const Bytes& b = built.bytes;
    const std::size_t fcr = built.layout.currentFcrPage * 1024u;
    ASSERT_EQ(b.size(), (built.layout.pageCount + 3u) * 1024);
    for (std::size_t at = built.layout.pageCount * 1024u; at < b.size(); ++at) {
      EXPECT_NE(b[at], std::byte{0});
    }
    EXPECT_EQ(Ws32(b, fcr + 0x1A), 7u);
    EXPECT_EQ(U16(b, fcr + 0x106), file_flag::kVariableLength);
    EXPECT_EQ(b[fcr + 0x38], std::byte{0xFF});
    // Each slot carries a "no variable part" pointer after the record.
    const std::size_t d = DataStart(format);
    EXPECT_EQ(built.layout.physicalRecordLength, d + 32 + 4);
    EXPECT_EQ(Ws32(b, built.layout.recordSlots[0] + d + 32), kNone);
    if (format == Format::kV6) {
      EXPECT_EQ(U16(b, fcr + 0x4A), 0x0610);
      ExpectPatMapsLogicalPages(built);
    } else {
      EXPECT_EQ(b[7], std::byte{5});
      EXPECT_EQ(Ws32(b, 0x26), built.layout.pageCount);  // junk is not counted
      EXPECT_LT(U16(b, 4), 0x8000);
    }
  }
}

// Follows a record's variable-part pointer through the image as a reader would (pages found by
// their own header) and returns the fragments' data in chain order.
struct DecodedChain {
  Bytes data;
  std::vector<Layout::Fragment> fragments;
};

DecodedChain DecodeChain(const BuiltFile& built, Format format, std::size_t record,
                         std::uint16_t fixed) {
  const Bytes& b = built.bytes;
  const std::uint32_t p = built.layout.pageSize;
  const bool v6 = format == Format::kV6;
  DecodedChain chain;
  std::uint32_t pointer = U32(b, built.layout.recordSlots[record] + DataStart(format) + fixed);
  while (pointer != kNone && chain.fragments.size() < 100) {
    const std::uint32_t number = (pointer & 0xFF) << 16 | ((pointer >> 8) & 0xFFFF);
    const std::uint32_t index = pointer >> 24;
    std::uint32_t page = 0;
    for (const std::uint32_t candidate : built.layout.variablePages) {
      if ((v6 ? PrefPage(b, candidate * p) : Ws32(b, candidate * p)) == number) page = candidate;
    }
    EXPECT_NE(page, 0u) << "pointer " << pointer << " names no variable page";
    if (page == 0) break;
    const std::size_t at = std::size_t{page} * p;
    if (v6) {
      EXPECT_EQ(PrefType(b, at), 0x56);
    }
    EXPECT_LT(U16(b, at + 4), 0x8000) << "a variable page never looks like a data page";
    const std::uint16_t count = U16(b, at + 0x0A);
    EXPECT_LT(index, count);
    const std::uint16_t entry = U16(b, at + p - 2 - 2 * index);
    const std::uint16_t end = U16(b, at + p - 2 - 2 * (index + 1)) & 0x7FFF;
    const std::size_t start = entry & 0x7FFF;
    const bool chained = v6 || (entry & 0x8000) != 0;
    chain.fragments.push_back({page, static_cast<std::uint8_t>(index), at + start});
    const std::size_t dataStart = at + start + (chained ? 4 : 0);
    chain.data.insert(chain.data.end(), b.begin() + static_cast<std::ptrdiff_t>(dataStart),
                      b.begin() + static_cast<std::ptrdiff_t>(at + end));
    pointer = chained ? U32(b, at + start) : kNone;
  }
  return chain;
}

TEST(Writer, VariablePartsAreFragmentChainsOnVariablePages) {
  for (const Format format : {Format::kPre6, Format::kV6}) {
    SCOPED_TRACE(format == Format::kV6 ? "v6" : "pre6");
    FileSpec file = LibrarySpec(format, 512, 16, 0, EntryRecords(16, 0, 6));
    file.fileFlags = file_flag::kVariableLength;
    file.maxFragmentData = 200;
    file.keys[0].segments[0].flags |= key_flag::kDuplicates;
    const std::size_t lengths[] = {0, 1, 199, 200, 201, 1500};
    for (std::size_t r = 0; r < file.records.size(); ++r) {
      for (std::size_t i = 0; i < lengths[r]; ++i)
        file.records[r].push_back(static_cast<std::byte>((r * 31 + i) % 256));
    }
    const BuiltFile built = Build(file);
    const std::size_t d = DataStart(format);
    EXPECT_EQ(built.layout.physicalRecordLength, d + 16 + 4 + 8);
    EXPECT_EQ(U16(built.bytes, built.layout.currentFcrPage * 512u + 0x106),
              file_flag::kVariableLength);
    for (std::size_t r = 0; r < file.records.size(); ++r) {
      const DecodedChain chain = DecodeChain(built, format, r, 16);
      EXPECT_EQ(chain.data, Bytes(file.records[r].begin() + 16, file.records[r].end())) << r;
      ASSERT_EQ(chain.fragments.size(), built.layout.recordFragments[r].size()) << r;
      for (std::size_t f = 0; f < chain.fragments.size(); ++f) {
        EXPECT_EQ(chain.fragments[f].page, built.layout.recordFragments[r][f].page);
        EXPECT_EQ(chain.fragments[f].index, built.layout.recordFragments[r][f].index);
        EXPECT_EQ(chain.fragments[f].offset, built.layout.recordFragments[r][f].offset);
      }
    }
    EXPECT_GE(built.layout.recordFragments[5].size(), 8u) << "1500 bytes in pieces of 200";
    // Every variable page: fragments from 0x0C, contiguous, the end entry inside the page, only
    // the pre-6.0 chained ones flagged.
    for (const std::uint32_t page : built.layout.variablePages) {
      const std::size_t at = std::size_t{page} * 512;
      const std::uint16_t count = U16(built.bytes, at + 0x0A);
      ASSERT_GE(count, 1u);
      EXPECT_EQ(U16(built.bytes, at + 510) & 0x7FFF, 0x0C);
      for (std::uint16_t i = 0; i < count; ++i) {
        EXPECT_LT(U16(built.bytes, at + 510 - 2 * i) & 0x7FFF,
                  U16(built.bytes, at + 510 - 2 * (i + 1)) & 0x7FFF);
      }
      EXPECT_LE(U16(built.bytes, at + 510 - 2 * count), 512u - 2 * (count + 1));
    }
    if (format == Format::kV6) ExpectPatMapsLogicalPages(built);
  }
}

TEST(Writer, CollatingSequencesGetPagesThatTheirSegmentsName) {
  CollatingSequence upper;
  upper.name = "UPPER";
  for (unsigned i = 0; i < 256; ++i)
    upper.table[i] = static_cast<std::uint8_t>(i >= 'a' && i <= 'z' ? i - 32 : i);
  CollatingSequence reverse;
  reverse.name = "REVERSE";
  for (unsigned i = 0; i < 256; ++i)
    reverse.table[i] = static_cast<std::uint8_t>(255 - i);
  for (const Format format : {Format::kPre6, Format::kV6}) {
    SCOPED_TRACE(format == Format::kV6 ? "v6" : "pre6");
    FileSpec file = LibrarySpec(format, 1024, 16, 0, {});
    const char* names[] = {"b", "A", "a", "C"};
    for (int n = 0; n < 4; ++n) {
      Bytes record(16, std::byte{0});
      record[0] = static_cast<std::byte>(n + 1);
      record[4] = static_cast<std::byte>(names[n][0]);
      file.records.push_back(record);
    }
    const std::uint16_t acs =
        key_flag::kExtendedType | key_flag::kAlternateCollation | key_flag::kDuplicates;
    file.keys.push_back({{{4, 4, key_type::kString, acs, 0, 0}}});
    file.collatingSequences = {upper};
    if (format == Format::kV6) {
      file.keys.push_back({{{4, 4, key_type::kString, acs, 0, 1}}});
      file.collatingSequences.push_back(reverse);
    }
    const BuiltFile built = Build(file);
    const Bytes& b = built.bytes;
    ASSERT_EQ(built.layout.collationPages.size(), file.collatingSequences.size());
    if (format == Format::kPre6) {
      EXPECT_EQ(built.layout.collationPages[0], 1u);
    }
    for (std::size_t a = 0; a < file.collatingSequences.size(); ++a) {
      const std::size_t at = built.layout.collationPages[a] * 1024u;
      EXPECT_EQ(U8(b, at + 6), 0xAC);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[at + 7]),
                            file.collatingSequences[a].name.size()),
                file.collatingSequences[a].name);
      for (unsigned i = 0; i < 256; ++i)
        ASSERT_EQ(U8(b, at + 15 + i), file.collatingSequences[a].table[i]);
      if (format == Format::kV6) {
        EXPECT_EQ(PrefType(b, at), 0x41);
        // The segment names the sequence's logical page at +0x19 (bits 16-23) and +0x1A.
        const std::size_t spec = built.layout.currentFcrPage * 1024u + 0x110 + 30 * (1 + a);
        EXPECT_EQ(static_cast<std::uint32_t>(U8(b, spec + 0x19)) << 16 | U16(b, spec + 0x1A),
                  PrefPage(b, at));
      } else {
        EXPECT_EQ(Ws32(b, at), 1u);
        EXPECT_EQ(U16(b, at + 4), 0u);
      }
    }
    if (format == Format::kV6) ExpectPatMapsLogicalPages(built);
    // Duplicates under the sequence share one chain: "A" then "a" (insertion order).
    const std::size_t pair = built.layout.recordSlots[1] + DataStart(format) + 16;
    EXPECT_EQ(Ws32(b, pair + 4), built.layout.recordAddresses[2]) << "A's next is a";
  }
}

TEST(Writer, RefusesFilesItCannotWrite) {
  const auto library = [](Format format, std::uint16_t pageSize, std::uint16_t length) {
    return LibrarySpec(format, pageSize, length, 0, EntryRecords(length, 0, 2));
  };
  struct Row {
    const char* name;
    std::function<FileSpec()> make;
  };
  const std::vector<Row> rows = {
      {"page size not a multiple of 512", [&] { return library(Format::kV6, 1000, 64); }},
      {"page size above 4096", [&] { return library(Format::kPre6, 8192, 64); }},
      {"zero record length", [&] { return LibrarySpec(Format::kV6, 512, 0, 0); }},
      {"pre-6.0 record longer than P - 6", [&] { return library(Format::kPre6, 512, 507); }},
      {"6.x record longer than P - 8", [&] { return library(Format::kV6, 512, 505); }},
      {"duplicate pointers overflow the page",
       [&] {
         FileSpec file = library(Format::kPre6, 512, 500);
         file.keys[0].segments[0].flags |= key_flag::kDuplicates;
         return file;
       }},
      {"record of the wrong size",
       [&] {
         FileSpec file = library(Format::kV6, 512, 64);
         file.records[1].pop_back();
         return file;
       }},
      {"segment outside the record", [&] { return LibrarySpec(Format::kV6, 512, 64, 61); }},
      {"variable-length record shorter than the fixed part",
       [&] {
         FileSpec file = library(Format::kPre6, 512, 64);
         file.fileFlags = file_flag::kVariableLength;
         file.records[0].pop_back();
         return file;
       }},
      {"segment naming a missing collating sequence",
       [&] {
         FileSpec file = library(Format::kV6, 512, 64);
         file.keys[0].segments[0] = {
             4, 4, key_type::kString, key_flag::kExtendedType | key_flag::kAlternateCollation,
             0, 1};
         file.collatingSequences.resize(1);
         return file;
       }},
      {"two collating sequences in pre-6.0",
       [&] {
         FileSpec file = library(Format::kPre6, 512, 64);
         file.collatingSequences.resize(2);
         return file;
       }},
      {"key without segments",
       [&] {
         FileSpec file = library(Format::kV6, 512, 64);
         file.keys.push_back(Key{});
         return file;
       }},
      {"key descriptors overflow a 512-byte FCR",
       [&] {
         FileSpec file = library(Format::kPre6, 512, 64);
         file.keys.assign(9, file.keys[0]);
         return file;
       }},
      {"KAT does not fit a 512-byte FCR",
       [&] {
         FileSpec file = library(Format::kV6, 512, 64);
         file.keys.assign(8, file.keys[0]);
         return file;
       }},
      {"shadow pages in pre-6.0",
       [&] {
         FileSpec file = library(Format::kPre6, 512, 64);
         file.shadowPages = 1;
         return file;
       }},
      {"deleted chain in 6.x",
       [&] {
         FileSpec file = library(Format::kV6, 512, 64);
         file.deletedEvery = 1;
         return file;
       }},
      {"shadow pages without data",
       [&] {
         FileSpec file = LibrarySpec(Format::kV6, 512, 64, 0);
         file.shadowPages = 1;
         return file;
       }},
  };
  for (const Row& row : rows) {
    EXPECT_THROW((void)Build(row.make()), std::invalid_argument) << row.name;
  }
  // The limits themselves are accepted.
  EXPECT_NO_THROW((void)Build(library(Format::kPre6, 512, 506)));
  EXPECT_NO_THROW((void)Build(library(Format::kV6, 512, 504)));
}

TEST(Writer, WriteFileReplacesTheFileAndReportsFailure) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("writer_test_" + std::to_string(std::random_device{}()));  // unique per run
  std::filesystem::create_directories(dir);
  const auto path = dir / "LIB.DAT";
  const Bytes first = Build(LibrarySpec(Format::kV6, 512, 64, 0, EntryRecords(64, 0, 40))).bytes;
  const Bytes second = Build(LibrarySpec(Format::kPre6, 512, 64, 0, EntryRecords(64, 0, 1))).bytes;
  WriteFile(path, first);
  WriteFile(path, second);
  std::string read;
  {
    // Closed before the directory goes: an open file cannot be removed on Windows.
    std::ifstream in(path, std::ios::binary);
    read.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ASSERT_EQ(read.size(), second.size());
  EXPECT_EQ(std::memcmp(read.data(), second.data(), read.size()), 0);
  EXPECT_THROW(WriteFile(dir, second), std::runtime_error);  // a directory cannot be replaced
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace btrieve::writer
