// Damaged and hostile files: every one must answer 2 or 30 (or read correctly where the damage is
// harmless), never crash, hang or allocate much more than the file's size.
#include "btrieve/file_parser.h"
#include "btrieve/index_walk.h"
#include "btrieve/open_file.h"
#include "btrieve/reason.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "support/allocation_probe.h"
#include "written_file.h"

namespace btrieve::test {
namespace {

using writer::Format;

constexpr std::uint16_t kLength = 48;

struct FormatCase {
  Format format;
  std::uint16_t pageSize;
};

// A file with some of everything: two keys (one with linked duplicates), several data pages, and
// the format's own variants (deleted chain; shadow pages, free slots and stale first copies).
writer::FileSpec RichSpec(const FormatCase& format) {
  std::vector<std::int32_t> ids;
  for (int i = 0; i < 40; ++i)
    ids.push_back((i * 17) % 40 + 1);
  writer::FileSpec spec = writer::LibrarySpec(format.format, format.pageSize, kLength, 0,
                                              NumberedRecords(ids, kLength));
  spec.keys.push_back({{{4, 8, writer::key_type::kZString,
                         writer::key_flag::kExtendedType | writer::key_flag::kDuplicates, 0}}});
  if (format.format == Format::kV6) {
    spec.shadowPages = 2;
    spec.freeSlotEvery = 3;
    spec.staleFcr = writer::StaleCopy::kFirst;
    spec.stalePat = writer::StaleCopy::kFirst;
  } else {
    spec.deletedEvery = 3;
  }
  return spec;
}

// The same with the text key as key 0, whose order the parse builds through the general road.
writer::FileSpec TextFirstSpec(const FormatCase& format) {
  writer::FileSpec spec = RichSpec(format);
  std::swap(spec.keys[0], spec.keys[1]);
  return spec;
}

class FileParser : public testing::TestWithParam<FormatCase> {
 protected:
  [[nodiscard]] bool IsV6() const { return GetParam().format == Format::kV6; }
  [[nodiscard]] std::uint32_t PageSize() const { return GetParam().pageSize; }
};

INSTANTIATE_TEST_SUITE_P(Formats, FileParser,
                         testing::Values(FormatCase{Format::kPre6, 512},
                                         FormatCase{Format::kPre6, 1024},
                                         FormatCase{Format::kV6, 512},
                                         FormatCase{Format::kV6, 4096}),
                         [](const testing::TestParamInfo<FormatCase>& info) {
                           return std::string(info.param.format == Format::kV6 ? "V6" : "Pre6") +
                                  "Page" + std::to_string(info.param.pageSize);
                         });

// Cut at every page boundary, one byte either side of it and in the middle of every page. Only the
// unreferenced shadow pages at the end of a 6.x file may go without harm.
TEST_P(FileParser, CutAnywhereIsRefused) {
  WrittenFile file(RichSpec(GetParam()));
  const std::vector<std::byte> whole = file.Bytes();
  ASSERT_EQ(file.OpenStatus(), status::kSuccess);
  const auto& layout = file.Layout();
  std::uint32_t lastLive = 1;
  for (const auto* pages :
       {&layout.currentPatPages, &layout.stalePatPages, &layout.indexPages, &layout.dataPages}) {
    for (const std::uint32_t page : *pages)
      lastLive = std::max(lastLive, page);
  }
  const std::size_t liveEnd = file.PageOffset(lastLive + 1);
  for (std::size_t page = 0; page * PageSize() < whole.size(); ++page) {
    const std::size_t start = page * PageSize();
    for (const std::size_t cut :
         {start, start + 1, start + PageSize() / 2, start + PageSize() - 1}) {
      if (cut >= whole.size()) continue;
      file.Replace(std::vector<std::byte>(whole.begin(), whole.begin() + static_cast<long>(cut)));
      const std::uint16_t expected = cut < 512       ? status::kNotBtrieveFile
                                     : cut < liveEnd ? status::kIoError
                                                     : status::kSuccess;
      EXPECT_EQ(file.OpenStatus(), expected) << "cut at " << cut;
    }
  }
}

TEST_P(FileParser, JunkAfterTheLastPageIsIgnored) {
  writer::FileSpec spec = RichSpec(GetParam());
  spec.junkPages = 2;
  WrittenFile file(spec);
  const std::vector<std::byte> whole = file.Bytes();
  for (const std::size_t cut :
       {whole.size(), whole.size() - 1, whole.size() - PageSize(), whole.size() - PageSize() - 7}) {
    file.Replace(std::vector<std::byte>(whole.begin(), whole.begin() + static_cast<long>(cut)));
    EXPECT_EQ(file.OpenStatus(), status::kSuccess) << "cut at " << cut;
  }
}

// One deliberate fault per row, aimed at one check of the reader.
struct Damage {
  const char* name;
  bool v6;    // applies to 6.x files
  bool pre6;  // applies to pre-6.0 files
  std::uint16_t expected;
  Check check;  // the check that refuses it, as LastRefusal reports after the Open
  std::function<void(WrittenFile&, std::size_t fcr)> apply;
};

TEST_P(FileParser, EachDamageGivesItsStatus) {
  const auto both = [](std::uint16_t value) { return value; };
  const std::uint16_t k2 = both(status::kIoError);
  const std::uint16_t k30 = both(status::kNotBtrieveFile);
  const Damage damages[] = {
      {"zero length", true, true, k30, Check::kTooShort,
       [](WrittenFile& f, std::size_t) { f.Truncate(0); }},
      {"a text file", true, true, k30, Check::kNoSignature,
       [](WrittenFile& f, std::size_t) {
         const std::string text(3000, 'x');
         std::vector<std::byte> bytes;
         for (const char c : "Dies ist keine Bibliothek.\n" + text)
           bytes.push_back(std::byte(c));
         f.Replace(bytes);
       }},
      {"page size 1000", true, true, k30, Check::kPageSize,
       [](WrittenFile& f, std::size_t) {
         f.SetU16(0x08, 1000);
         if (f.Bytes().size() > f.Layout().pageSize + 0x0A)
           f.SetU16(f.Layout().pageSize + 0x08, 1000);
       }},
      {"page size 8192", true, true, k30, Check::kPageSize,
       [](WrittenFile& f, std::size_t) {
         f.SetU16(0x08, 8192);
         if (f.Bytes().size() > f.Layout().pageSize + 0x0A)
           f.SetU16(f.Layout().pageSize + 0x08, 8192);
       }},
      {"record length above the page size", true, true, k2, Check::kSlotTooLong,
       [](WrittenFile& f, std::size_t fcr) {
         f.SetU16(fcr + 0x16, static_cast<std::uint16_t>(f.Layout().pageSize + 10));
         f.SetU16(fcr + 0x18, static_cast<std::uint16_t>(f.Layout().pageSize + 12));
       }},
      {"slot shorter than the record", true, true, k2, Check::kSlotTooShort,
       [](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x18, kLength - 1); }},
      {"record length 0", true, true, k2, Check::kRecordLengthZero,
       [](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x16, 0); }},
      {"key segment outside the record", true, true, k2, Check::kSegmentOutside,
       [](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x110 + 0x14, kLength + 2); }},
      {"key segment overlapping the record end", true, true, k2, Check::kSegmentOutside,
       [](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x110 + 0x16, kLength + 1); }},
      {"key segment of length 0", true, true, k2, Check::kSegmentOutside,
       [](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x110 + 0x16, 0); }},
      {"duplicate pointers outside the slot", true, true, k2, Check::kDuplicatePointersOutside,
       [](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x110 + 30 + 0x12, 0xFFF0); }},
      {"record count 0xFFFFFFFF", true, true, k2, Check::kRecordCount,
       [](WrittenFile& f, std::size_t fcr) { f.SetWs32(fcr + 0x1A, 0xFFFFFFFF); }},
      {"page count 0xFFFFFFFF", false, true, k2, Check::kPageCount,
       [](WrittenFile& f, std::size_t fcr) { f.SetWs32(fcr + 0x26, 0xFFFFFFFF); }},
      {"page count 0", false, true, k2, Check::kPageCount,
       [](WrittenFile& f, std::size_t fcr) { f.SetWs32(fcr + 0x26, 0); }},
      {"page count 0xFFFFFFFF in a 6.x FCR", true, false, k2, Check::kPatOutside,
       [](WrittenFile& f, std::size_t fcr) { f.SetWs32(fcr + 0x26, 0xFFFFFFFF); }},
      {"page count 0 in a 6.x FCR", true, false, k2, Check::kRecordCount,
       [](WrittenFile& f, std::size_t fcr) { f.SetWs32(fcr + 0x26, 0); }},
      {"key count 0xFFFF", true, true, k2, Check::kKeyCount,
       [](WrittenFile& f, std::size_t fcr) {
         f.SetU16(fcr + 0x14, 0xFFFF);
         f.SetByte(fcr + 0x76, 0xFF);
       }},
      {"compressed", true, true, k30, Check::kCompressed,
       [](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x106, 0x0008); }},
      {"key-only", true, true, k30, Check::kKeyOnly,
       [](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x106, 0x0010); }},
      {"variable-length flag", true, true, k30, Check::kVariableMarkers,
       [](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x106, 0x0001); }},
      {"variable-length marker", true, true, k30, Check::kVariableMarkers,
       [](WrittenFile& f, std::size_t fcr) { f.SetByte(fcr + 0x38, 0xFF); }},
      {"variable-tail tables", true, true, k30, Check::kVariableTails,
       [](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x106, 0x0800); }},
      {"blank truncation alone is harmless", true, true, status::kSuccess, Check::kNone,
       [](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x106, 0x0002); }},
      // pre-6.0 only
      {"needs recovery", false, true, k2, Check::kNeedsRecovery,
       [](WrittenFile& f, std::size_t) { f.SetU16(0x22, 0xFFFF); }},
      {"version byte 6", false, true, k30, Check::kNoSignature,
       [](WrittenFile& f, std::size_t) { f.SetByte(7, 6); }},
      {"version byte 2", false, true, k30, Check::kNoSignature,
       [](WrittenFile& f, std::size_t) { f.SetByte(7, 2); }},
      // versions 3, 4 and 5 stored negated (as real files have them) read as the plain ones
      {"version word 00 FD", false, true, status::kSuccess, Check::kNone,
       [](WrittenFile& f, std::size_t) { f.SetByte(7, 0xFD); }},
      {"version word 00 FC", false, true, status::kSuccess, Check::kNone,
       [](WrittenFile& f, std::size_t) { f.SetByte(7, 0xFC); }},
      {"version word 00 FB", false, true, status::kSuccess, Check::kNone,
       [](WrittenFile& f, std::size_t) { f.SetByte(7, 0xFB); }},
      {"version word 00 FA", false, true, k30, Check::kNoSignature,
       [](WrittenFile& f, std::size_t) { f.SetByte(7, 0xFA); }},
      {"version word 01 FC", false, true, k30, Check::kNoSignature,
       [](WrittenFile& f, std::size_t) {
         f.SetByte(6, 1);
         f.SetByte(7, 0xFC);
       }},
      {"version word 00 FC with a damaged header", false, true, k2, Check::kPageCount,
       [](WrittenFile& f, std::size_t fcr) {
         f.SetByte(7, 0xFC);
         f.SetWs32(fcr + 0x26, 0);
       }},
      {"deleted chain outside the file", false, true, k2, Check::kDeletedOutsideData,
       [](WrittenFile& f, std::size_t) { f.SetWs32(0x10, 0x7FFFFFF0); }},
      {"deleted chain into the FCR", false, true, k2, Check::kDeletedOutsideData,
       [](WrittenFile& f, std::size_t) { f.SetWs32(0x10, 6); }},
      {"deleted chain between slots", false, true, k2, Check::kDeletedBetweenSlots,
       [](WrittenFile& f, std::size_t) {
         f.SetWs32(0x10, static_cast<std::uint32_t>(f.Layout().deletedSlots.at(0) + 1));
       }},
      {"deleted chain beyond the last slot of a page", false, true, k2, Check::kSlotBeyondPage,
       [](WrittenFile& f, std::size_t) {
         const std::size_t page = f.Layout().dataPages.at(0);
         const std::size_t physical = std::to_integer<std::size_t>(f.Bytes()[0x18]) |
                                      (std::to_integer<std::size_t>(f.Bytes()[0x19]) << 8);
         const std::size_t slots = (f.Layout().pageSize - 6) / physical;
         f.SetWs32(0x10, static_cast<std::uint32_t>(f.PageOffset(page) + 6 + slots * physical));
       }},
      {"deleted chain in a circle", false, true, k2, Check::kDeletedLoop,
       [](WrittenFile& f, std::size_t) {
         const auto& deleted = f.Layout().deletedSlots;
         f.SetWs32(deleted.back(), static_cast<std::uint32_t>(deleted.front()));
       }},
      {"deleted chain names a live record", false, true, k2, Check::kDeletedOutsideData,
       [](WrittenFile& f, std::size_t) {
         f.SetWs32(f.Layout().deletedSlots.back(),
                   static_cast<std::uint32_t>(f.Layout().recordSlots.at(0)));
       }},
      // 6.x only
      {"version 7.0", true, false, k30, Check::kVersion,
       [](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x4A, 0x0700); }},
      {"version 9.5", true, false, k30, Check::kVersion,
       [](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x4A, 0x0950); }},
      {"version 5.0 in a 6.x FCR", true, false, k30, Check::kVersion,
       [](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x4A, 0x0500); }},
      {"key count copy differs", true, false, k2, Check::kKeyCountCopy,
       [](WrittenFile& f, std::size_t fcr) { f.SetByte(fcr + 0x76, 7); }},
      {"current FCR without its signature", true, false, k2, Check::kControlRecord,
       [](WrittenFile& f, std::size_t fcr) { f.SetByte(fcr + 1, 'X'); }},
      {"damage in the stale FCR is ignored", true, false, status::kSuccess, Check::kNone,
       [](WrittenFile& f, std::size_t) {
         f.SetWs32(f.PageOffset(f.Layout().staleFcrPage) + 0x1A, 12345);
         f.SetU16(f.PageOffset(f.Layout().staleFcrPage) + 0x106, 0x0008);
       }},
      {"a blank stale FCR in page 0 is tolerated", true, false, status::kSuccess, Check::kNone,
       [](WrittenFile& f, std::size_t) {
         ASSERT_EQ(f.Layout().staleFcrPage, 0U);
         f.SetU16(0x08, 0);
         f.SetWs32(0x1A, 0);
       }},
      {"PAT without PP", true, false, k2, Check::kPatSignature,
       [](WrittenFile& f,
          std::size_t) { f.SetByte(f.PageOffset(f.Layout().currentPatPages.at(0)), 0); }},
      {"PAT entry outside the file", true, false, k2, Check::kPageOutside,
       [](WrittenFile& f, std::size_t) {
         f.SetByte(f.PageOffset(f.Layout().currentPatPages.at(0)) + 8, 0x7F);
       }},
      {"PAT entries naming one page twice", true, false, k2, Check::kPageNamedTwice,
       [](WrittenFile& f, std::size_t) {
         const std::size_t entries = f.PageOffset(f.Layout().currentPatPages.at(0)) + 8;
         for (std::size_t i = 0; i < 4; ++i) {
           f.SetByte(entries + 4 + i, std::to_integer<std::uint8_t>(f.Bytes()[entries + i]));
         }
       }},
      {"PAT entry naming an FCR page", true, false, k2, Check::kPageNamedTwice,
       [](WrittenFile& f, std::size_t) {
         f.SetU16(f.PageOffset(f.Layout().currentPatPages.at(0)) + 8 + 2, 1);
       }},
      {"data page header with another logical number", true, false, k2, Check::kDataPageHeader,
       [](WrittenFile& f, std::size_t) {
         const std::size_t page = f.PageOffset(f.Layout().dataPages.back());
         f.SetByte(page + 2,
                   static_cast<std::uint8_t>(std::to_integer<unsigned>(f.Bytes()[page + 2]) + 1));
       }},
      {"data page header of another type", true, false, k2, Check::kDataPageHeader,
       [](WrittenFile& f, std::size_t) {
         f.SetByte(f.PageOffset(f.Layout().dataPages.at(0)) + 1, 'E');
       }},
      {"a free slot marked used", true, false, k2, Check::kRecordCount,
       [](WrittenFile& f, std::size_t) { f.SetU16(f.Layout().freeSlots.at(0), 1); }},
  };
  for (const Damage& damage : damages) {
    if ((IsV6() && !damage.v6) || (!IsV6() && !damage.pre6)) continue;
    WrittenFile file(RichSpec(GetParam()));
    damage.apply(file, file.PageOffset(file.Layout().currentFcrPage));
    EXPECT_EQ(file.OpenStatus(), damage.expected) << damage.name;
    const std::optional<Reason> reason = LastRefusal(file.Path(), damage.expected);
    EXPECT_EQ(reason ? reason->check : Check::kNone, damage.check)
        << damage.name << ": " << (reason ? ReasonText(*reason) : "no reason");
  }
}

// Random byte changes, mostly in the structures (FCR, PAT, page headers, slot starts): every
// outcome is a status; a file that still opens can be walked on every key; nothing allocates much
// more than the file. The parser is called directly so that thousands of variants run in little
// time.
TEST_P(FileParser, RandomDamageNeverBreaksTheReader) {
  const std::vector<std::byte> originals[] = {writer::Build(RichSpec(GetParam())).bytes,
                                              writer::Build(TextFirstSpec(GetParam())).bytes};
  std::mt19937 random(20240611U + PageSize() + (IsV6() ? 1U : 0U));
  int opened = 0;
  for (int round = 0; round < 1500; ++round) {
    std::vector<std::byte> image = originals[round % 2];
    const std::size_t pages = image.size() / PageSize();
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int c = 0; c < changes; ++c) {
      std::size_t at = 0;
      switch (random() % 3) {
        case 0:  // the structures at the start of a page
          at = (random() % pages) * PageSize() + random() % 64;
          break;
        case 1:  // the FCR, key specifications included
          at = random() % std::min<std::size_t>(0x200, PageSize());
          if (IsV6()) at += (random() % 2) * PageSize();
          break;
        default:
          at = random() % image.size();
          break;
      }
      image[at] = static_cast<std::byte>(random() % 4 == 0 ? 0xFF : random() % 256);
    }
    const std::size_t size = image.size();
    kl7test::ResetLargestAllocation();
    const ParseResult result = ParseFile(std::move(image));
    ASSERT_TRUE(result.status == status::kSuccess || result.status == status::kIoError ||
                result.status == status::kNotBtrieveFile)
        << result.status;
    if (result.status != status::kSuccess) {
      EXPECT_LE(kl7test::LargestAllocation(), 4 * size + 4096) << "round " << round;
      continue;
    }
    ++opened;
    (void)WalkIndexes(*result.file);  // any outcome, but no crash and no unbounded allocation
    for (std::size_t k = 0; k < result.file->Keys().size(); ++k) {
      const KeyOrder& order = result.file->Order(k);
      for (const std::uint32_t record : order.records) {
        ASSERT_LT(record, result.file->RecordCount());
        ASSERT_EQ(result.file->Record(record).size(), result.file->Facts().recordLength);
      }
    }
    EXPECT_LE(kl7test::LargestAllocation(), 4 * size + 4096) << "round " << round;
  }
  RecordProperty("opened", opened);
  EXPECT_GT(opened, 0) << "some changes hit only data and must leave the file readable";
}

// Random byte changes in the headers and offset tables of the variable pages of a variable-length
// file: the file still opens, and every record answers 0 or 54 with no more bytes than its
// buffer, nothing allocated on the way; most changes are caught.
TEST_P(FileParser, RandomDamageInVariablePagesFailsOnlyRecords) {
  writer::FileSpec spec = RichSpec(GetParam());
  spec.fileFlags = writer::file_flag::kVariableLength;
  spec.maxFragmentData = 60;
  for (std::size_t r = 0; r < spec.records.size(); ++r) {
    for (std::size_t i = 0; i < (r * 41) % 300; ++i)
      spec.records[r].push_back(static_cast<std::byte>(i));
  }
  const writer::BuiltFile built = writer::Build(spec);
  ASSERT_FALSE(built.layout.variablePages.empty());
  std::mt19937 random(7U + PageSize() + (IsV6() ? 1U : 0U));
  std::vector<std::byte> buffer(4096);
  int damaged = 0;
  for (int round = 0; round < 300; ++round) {
    std::vector<std::byte> image = built.bytes;
    for (int c = 0; c < 3; ++c) {
      const std::size_t page =
          built.layout.variablePages[random() % built.layout.variablePages.size()];
      std::size_t within = random() % 2 == 0 ? random() % 16 : PageSize() - 1 - random() % 24;
      // In pre-6.0 files bit 15 of the usage word is what makes a page a data page.
      if (!IsV6() && (within == 4 || within == 5)) within = 6;
      image[page * PageSize() + within] = static_cast<std::byte>(random() % 256);
    }
    const ParseResult result = ParseFile(std::move(image));
    ASSERT_EQ(result.status, status::kSuccess) << "round " << round;
    kl7test::ResetLargestAllocation();
    const long before = kl7test::AllocationCount();
    bool any = false;
    for (std::size_t r = 0; r < result.file->RecordCount(); ++r) {
      const RecordCopy copy = result.file->CopyRecord(r, buffer);
      ASSERT_TRUE(copy.status == status::kSuccess || copy.status == status::kVariablePartDamaged)
          << copy.status;
      ASSERT_LE(copy.copied, buffer.size());
      ASSERT_GE(copy.copied, kLength);
      any = any || copy.status != status::kSuccess;
    }
    EXPECT_EQ(kl7test::AllocationCount(), before) << "round " << round;
    if (any) ++damaged;
  }
  RecordProperty("damaged", damaged);
  EXPECT_GT(damaged, 150);
}

// Hostile FCR values on a minimal image of each format.
TEST_P(FileParser, AbsurdCountsAllocateLittle) {
  for (const writer::FileSpec& spec : {RichSpec(GetParam()), TextFirstSpec(GetParam())}) {
    std::vector<std::byte> image = writer::Build(spec).bytes;
    image.resize(std::size_t{PageSize()} * (IsV6() ? 2 : 1));
    const std::size_t fcr = IsV6() ? PageSize() : 0;
    for (const std::size_t offset :
         {0x14U, 0x16U, 0x18U, 0x1AU, 0x1CU, 0x26U, 0x28U, 0x110U + 0x14, 0x110U + 0x16}) {
      std::vector<std::byte> damaged = image;
      damaged[fcr + offset] = std::byte{0xFF};
      damaged[fcr + offset + 1] = std::byte{0x7F};
      kl7test::ResetLargestAllocation();
      const std::size_t size = damaged.size();
      const ParseResult result = ParseFile(std::move(damaged));
      EXPECT_NE(result.status, status::kSuccess) << offset;
      EXPECT_LE(kl7test::LargestAllocation(), 4 * size + 4096) << offset;
    }
  }
}

// A file is judged by its first pages before the rest is read: a gigabyte of zeros is refused with
// 30 after reading no more than the header, a pre-6.0 file followed by a gigabyte of anything is
// read only as far as its page count goes, and a 6.x file as far as the pages its PAT places (all
// files sparse: they take no disk). The 6.x file still counts its pages to its end.
TEST_P(FileParser, HeaderIsJudgedBeforeTheRestIsRead) {
  const TempDir dir;
  const std::uint64_t gigabyte = std::uint64_t{1} << 30;
  const auto path = dir.Path() / "LARGE.DAT";
  std::ofstream(path, std::ios::binary).close();
  std::filesystem::resize_file(path, gigabyte);
  kl7test::ResetLargestAllocation();
  ParseResult opened = OpenParsedFile(path.string());
  EXPECT_EQ(opened.status, status::kNotBtrieveFile);
  EXPECT_LE(kl7test::LargestAllocation(), kHeaderBytes + 4096);

  const std::vector<std::byte> bytes = writer::Build(RichSpec(GetParam())).bytes;
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  std::filesystem::resize_file(path, gigabyte);
  kl7test::ResetLargestAllocation();
  opened = OpenParsedFile(path.string());
  ASSERT_EQ(opened.status, status::kSuccess);
  EXPECT_LE(kl7test::LargestAllocation(), 2 * bytes.size() + 4096);
  EXPECT_EQ(opened.file->RecordCount(), RichSpec(GetParam()).records.size());
  if (IsV6()) {
    EXPECT_EQ(opened.file->Facts().filePages, gigabyte / PageSize());
  }
}

}  // namespace
}  // namespace btrieve::test
