// Variable-length files built by the writer: whole records back in key order, short buffers, the
// refused variants, and a damaged fragment chain that fails only the Gets of its own record.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "btrieve/reason.h"
#include "written_file.h"

namespace btrieve::test {
namespace {

using writer::Format;
namespace kf = writer::key_flag;
namespace kt = writer::key_type;

constexpr std::uint16_t kFixed = 12;  // id (key 0), group (key 1, duplicates), 6 bytes of text
constexpr std::int32_t kCount = 40;
constexpr std::int32_t kLongest = 37;  // the record whose variable part spans the most fragments

struct FormatCase {
  Format format;
  std::uint16_t pageSize;
};

// Record `id`: its fixed part, then (id * 53) % 900 bytes of variable part (1200 for kLongest;
// none for id 1), each byte telling its record and place.
std::vector<std::byte> VariableRecord(std::int32_t id) {
  std::vector<std::byte> record = Le(id, 4);
  for (const std::byte b : Le(id % 3, 2))
    record.push_back(b);
  for (const std::byte b : Text(std::string("v").append(std::to_string(id)), 6))
    record.push_back(b);
  const int length = id == kLongest ? 1200 : (id == 1 ? 0 : (id * 53) % 900);
  for (int i = 0; i < length; ++i)
    record.push_back(static_cast<std::byte>((id * 7 + i) % 251));
  return record;
}

class VariableRecords : public testing::TestWithParam<FormatCase> {
 protected:
  [[nodiscard]] bool IsV6() const { return GetParam().format == Format::kV6; }

  [[nodiscard]] writer::FileSpec Spec() const {
    writer::FileSpec spec;
    spec.format = GetParam().format;
    spec.pageSize = GetParam().pageSize;
    spec.recordLength = kFixed;
    spec.fileFlags = writer::file_flag::kVariableLength;
    spec.maxFragmentData = 300;  // several fragments per long part, whatever the page size
    spec.keys = {writer::Key{{{0, 4, kt::kInteger, kf::kExtendedType, 0}}},
                 writer::Key{{{4, 2, kt::kInteger, kf::kExtendedType | kf::kDuplicates, 0}}}};
    for (std::int32_t i = 0; i < kCount; ++i)
      spec.records.push_back(VariableRecord((i * 13) % kCount + 1));
    return spec;
  }

  // The record with id kLongest through Get Equal on key 0, with a data buffer of `length` bytes.
  static GetResult GetLongest(const WrittenFile& file, std::uint32_t length = 4000) {
    Handle handle;
    EXPECT_EQ(handle.Open(file.Path()), status::kSuccess);
    return handle.Get(kOpGetEqual, Le(kLongest, 4), length);
  }

  [[nodiscard]] static std::size_t InsertionIndex(const writer::FileSpec& spec, std::int32_t id) {
    for (std::size_t i = 0; i < spec.records.size(); ++i) {
      if (ReadLe(spec.records[i], 0, 4, true) == id) return i;
    }
    return 0;
  }
};

INSTANTIATE_TEST_SUITE_P(Formats, VariableRecords,
                         testing::Values(FormatCase{Format::kPre6, 512},
                                         FormatCase{Format::kPre6, 4096},
                                         FormatCase{Format::kV6, 512},
                                         FormatCase{Format::kV6, 4096}),
                         [](const testing::TestParamInfo<FormatCase>& info) {
                           return std::string(info.param.format == Format::kV6 ? "V6" : "Pre6") +
                                  "Page" + std::to_string(info.param.pageSize);
                         });

TEST_P(VariableRecords, WholeRecordsInKeyOrderWhateverTheVariant) {
  struct Variant {
    const char* name;
    std::function<void(writer::FileSpec&)> apply;
  };
  const Variant variants[] = {
      {"plain", [](writer::FileSpec&) {}},
      {"one fragment per page at most", [](writer::FileSpec& s) { s.maxFragmentData = 0; }},
      {"reverse physical order", [](writer::FileSpec& s) { s.reversePhysicalOrder = true; }},
      {"gaps between slots",
       [this](writer::FileSpec& s) { (IsV6() ? s.freeSlotEvery : s.deletedEvery) = 3; }},
      {"stale first copies",
       [this](writer::FileSpec& s) {
         if (!IsV6()) return;
         s.staleFcr = writer::StaleCopy::kFirst;
         s.stalePat = writer::StaleCopy::kFirst;
         s.shadowPages = 2;
       }},
  };
  for (const Variant& variant : variants) {
    writer::FileSpec spec = Spec();
    variant.apply(spec);
    const WrittenFile file(spec);
    Handle handle;
    ASSERT_EQ(handle.Open(file.Path()), status::kSuccess) << variant.name;
    const GetResult stat = handle.Stat();
    EXPECT_EQ(ReadLe(stat.data, 0, 2, false), kFixed) << "Stat gives the fixed length";
    EXPECT_EQ(ReadLe(stat.data, 10, 2, false), writer::file_flag::kVariableLength);
    GetResult result = handle.Get(kOpGetEqual, Le(1, 4), 4000);
    std::int32_t next = 1;
    while (result.status == status::kSuccess) {
      ASSERT_TRUE(result.data == VariableRecord(next)) << variant.name << ", record " << next;
      ++next;
      result = handle.Get(kOpGetNext, Le(0, 4), 4000);
    }
    EXPECT_EQ(result.status, status::kEndOfFile) << variant.name;
    EXPECT_EQ(next, kCount + 1) << variant.name;
    ExpectWalkAsGetNext(file.Path());
    ExpectWalkAsGetNext(file.Path(), 1);
    // Key 1 holds duplicates in insertion order; Get Last gives the last inserted of value 2.
    std::int32_t lastOfTwo = 0;
    for (const std::vector<std::byte>& record : spec.records) {
      if (ReadLe(record, 4, 2, true) == 2)
        lastOfTwo = static_cast<std::int32_t>(ReadLe(record, 0, 4, true));
    }
    const GetResult last = handle.Get(kOpGetLast, Le(0, 2), 4000, 1);
    ASSERT_EQ(last.status, status::kSuccess);
    EXPECT_TRUE(last.data == VariableRecord(lastOfTwo)) << variant.name;
  }
}

TEST_P(VariableRecords, ShortBuffersGetWhatFits) {
  const WrittenFile file(Spec());
  const std::vector<std::byte> whole = VariableRecord(kLongest);
  for (const std::uint32_t length : {0U, kFixed - 1U, std::uint32_t{kFixed}, kFixed + 1U, 400U,
                                     static_cast<std::uint32_t>(whole.size() - 1)}) {
    Handle handle;
    ASSERT_EQ(handle.Open(file.Path()), status::kSuccess);
    const GetResult part = handle.Get(kOpGetEqual, Le(kLongest, 4), length);
    EXPECT_EQ(part.status, status::kDataBufferTooShort) << length;
    EXPECT_EQ(part.data, std::vector<std::byte>(whole.begin(), whole.begin() + length)) << length;
    const GetResult next = handle.Get(kOpGetNext, Le(0, 4), 4000);
    EXPECT_EQ(next.data, VariableRecord(kLongest + 1)) << "the position moved all the same";
  }
  const GetResult exact = GetLongest(file, static_cast<std::uint32_t>(whole.size()));
  EXPECT_EQ(exact.status, status::kSuccess);
  EXPECT_EQ(exact.data, whole);
}

// One fault per row in the chain of record kLongest (four fragments or more): Open succeeds, that
// record answers 54 with its fixed part and the bytes before the fault, the position moves to it,
// and every record whose fragments lie on other pages reads as before (record 1 has none).
TEST_P(VariableRecords, DamagedChainFailsOnlyItsRecord) {
  const std::uint32_t pageSize = GetParam().pageSize;
  struct Damage {
    const char* name;
    std::size_t keptFragments;  // how many fragments still count before the fault
    Check check;
    std::function<void(WrittenFile&, const writer::Layout::Fragment* chain,
                       std::size_t slotPointer)>
        apply;
  };
  const auto pageNumber = [this](const WrittenFile& f, std::uint32_t physical) {
    if (!IsV6()) return physical;
    const std::size_t at = f.PageOffset(physical);
    return (std::uint32_t{std::to_integer<std::uint8_t>(f.Bytes()[at])} << 16) |
           std::to_integer<std::uint32_t>(f.Bytes()[at + 2]) |
           (std::to_integer<std::uint32_t>(f.Bytes()[at + 3]) << 8);
  };
  const auto pointer = [](WrittenFile& f, std::size_t at, std::uint32_t page, std::uint8_t index) {
    f.SetByte(at, static_cast<std::uint8_t>(page >> 16));
    f.SetByte(at + 1, static_cast<std::uint8_t>(page & 0xFF));
    f.SetByte(at + 2, static_cast<std::uint8_t>((page >> 8) & 0xFF));
    f.SetByte(at + 3, index);
  };
  const auto entry = [pageSize](const WrittenFile& f, const writer::Layout::Fragment& fragment,
                                std::size_t i) {
    return f.PageOffset(fragment.page) + pageSize - 2 - 2 * i;
  };
  const auto count = [](const WrittenFile& f, const writer::Layout::Fragment& fragment) {
    const std::size_t at = f.PageOffset(fragment.page) + 0x0A;
    return std::to_integer<std::size_t>(f.Bytes()[at]) |
           (std::to_integer<std::size_t>(f.Bytes()[at + 1]) << 8);
  };
  // The slot pointer of a record (in insertion order) other than kLongest whose fragments share a
  // page with kLongest's chain, so that the check of untouched records below leaves it out.
  const auto neighbourSlot = [&](const WrittenFile& f, const writer::Layout::Fragment* chain) {
    const auto& fragments = f.Layout().recordFragments;
    for (std::size_t r = 0; r < fragments.size(); ++r) {
      if (r == InsertionIndex(Spec(), kLongest)) continue;
      for (const auto& fragment : fragments[r]) {
        if (fragment.page == chain[0].page || fragment.page == chain[1].page)
          return f.Layout().recordSlots[r] + (IsV6() ? 2 : 0) + kFixed;
      }
    }
    return std::size_t{0};
  };
  const Damage damages[] = {
      {"another record's chain joins it at its second fragment", 1, Check::kFragmentShared,
       [&](WrittenFile& f, auto chain, std::size_t) {
         pointer(f, neighbourSlot(f, chain), pageNumber(f, chain[1].page), chain[1].index);
       }},
      {"pointer to page 0", 0, Check::kVariablePage,
       [&](WrittenFile& f, auto, std::size_t slot) { pointer(f, slot, 0, 0); }},
      {"pointer beyond the file", 0, Check::kVariablePage,
       [&](WrittenFile& f, auto, std::size_t slot) {
         pointer(f, slot, static_cast<std::uint32_t>(f.Bytes().size() / pageSize + 3), 0);
       }},
      {"pointer to a data page", 0, Check::kVariablePage,
       [&](WrittenFile& f, auto, std::size_t slot) {
         pointer(f, slot, pageNumber(f, f.Layout().dataPages.at(0)), 0);
       }},
      {"fragment index FF on a real page", 0, Check::kVariablePage,
       [&](WrittenFile& f, auto chain, std::size_t slot) {
         pointer(f, slot, pageNumber(f, chain[0].page), 0xFF);
       }},
      {"fragment index beyond the table", 0, Check::kFragmentIndex,
       [&](WrittenFile& f, auto chain, std::size_t slot) {
         pointer(f, slot, pageNumber(f, chain[0].page),
                 static_cast<std::uint8_t>(count(f, chain[0])));
       }},
      {"fragment count 0", 0, Check::kFragmentTable,
       [&](WrittenFile& f, auto chain, std::size_t) {
         f.SetU16(f.PageOffset(chain[0].page) + 0x0A, 0);
       }},
      {"fragment count 0xFFFF", 0, Check::kFragmentTable,
       [&](WrittenFile& f, auto chain, std::size_t) {
         f.SetU16(f.PageOffset(chain[0].page) + 0x0A, 0xFFFF);
       }},
      {"fragment starts inside the header", 0, Check::kFragmentOutside,
       [&](WrittenFile& f, auto chain, std::size_t) {
         f.SetU16(entry(f, chain[0], chain[0].index), IsV6() ? 4 : 0x8004);
       }},
      {"fragment ends inside the table", 0, Check::kFragmentOutside,
       [&](WrittenFile& f, auto chain, std::size_t) {
         f.SetU16(entry(f, chain[0], chain[0].index + 1U),
                  static_cast<std::uint16_t>(pageSize - 2));
       }},
      {"fragment ends before it starts", 0, Check::kFragmentOutside,
       [&](WrittenFile& f, auto chain, std::size_t) {
         f.SetU16(entry(f, chain[0], chain[0].index + 1U), 0x0C);
       }},
      {"named entry is free", 0, Check::kFragmentFree,
       [&](WrittenFile& f, auto chain, std::size_t) {
         f.SetU16(entry(f, chain[0], chain[0].index), 0xFFFF);
       }},
      {"no end entry after it", 0, Check::kFragmentEnd,
       [&](WrittenFile& f, auto chain, std::size_t) {
         for (std::size_t i = chain[0].index + 1U; i <= count(f, chain[0]); ++i)
           f.SetU16(entry(f, chain[0], i), 0xFFFF);
       }},
      {"chained fragment shorter than its pointer", 0, Check::kFragmentOutside,
       [&](WrittenFile& f, auto chain, std::size_t) {
         const std::size_t start = chain[0].offset - f.PageOffset(chain[0].page);
         f.SetU16(entry(f, chain[0], chain[0].index + 1U), static_cast<std::uint16_t>(start + 2));
       }},
      {"variable page with a wrong header", 0, Check::kVariablePage,
       [&](WrittenFile& f, auto chain, std::size_t) {
         f.SetByte(f.PageOffset(chain[0].page) + (IsV6() ? 1 : 3), IsV6() ? 'D' : 0x7F);
       }},
      {"second link points beyond the file", 1, Check::kVariablePage,
       [&](WrittenFile& f, auto chain, std::size_t) { pointer(f, chain[0].offset, 0x7FFFFF, 0); }},
      {"loop on one fragment", 1, Check::kFragmentLoop,
       [&](WrittenFile& f, auto chain, std::size_t) {
         pointer(f, chain[0].offset, pageNumber(f, chain[0].page), chain[0].index);
       }},
      {"loop entered after the first fragment", 3, Check::kFragmentLoop,
       [&](WrittenFile& f, auto chain, std::size_t) {
         pointer(f, chain[2].offset, pageNumber(f, chain[1].page), chain[1].index);
       }},
      {"loop back to the first fragment", 2, Check::kFragmentLoop,
       [&](WrittenFile& f, auto chain, std::size_t) {
         pointer(f, chain[1].offset, pageNumber(f, chain[0].page), chain[0].index);
       }},
  };
  const writer::FileSpec spec = Spec();
  const std::size_t longest = InsertionIndex(spec, kLongest);
  const std::vector<std::byte> whole = VariableRecord(kLongest);
  for (const Damage& damage : damages) {
    WrittenFile file(spec);
    const auto& chain = file.Layout().recordFragments.at(longest);
    ASSERT_GE(chain.size(), 4U);
    // The data bytes of the fragments that still count, from the undamaged table.
    std::size_t kept = kFixed;
    for (std::size_t i = 0; i < damage.keptFragments; ++i) {
      const std::size_t start = chain[i].offset - file.PageOffset(chain[i].page);
      const std::size_t end =
          ReadLe(file.Bytes(), entry(file, chain[i], chain[i].index + 1U), 2, false) & 0x7FFF;
      kept += end - start - 4;  // every fragment but a chain's last starts with its pointer
    }
    const std::size_t slotPointer = file.Layout().recordSlots[longest] + (IsV6() ? 2 : 0) + kFixed;
    damage.apply(file, chain.data(), slotPointer);
    Handle handle;
    ASSERT_EQ(handle.Open(file.Path()), status::kSuccess) << damage.name;
    const GetResult result = handle.Get(kOpGetEqual, Le(kLongest, 4), 4000);
    EXPECT_EQ(result.status, status::kVariablePartDamaged) << damage.name;
    const std::optional<Reason> reason = LastRefusal(file.Path(), status::kVariablePartDamaged);
    EXPECT_EQ(reason ? reason->check : Check::kNone, damage.check)
        << damage.name << ": " << (reason ? ReasonText(*reason) : "no reason");
    // The fixed part and what the sound fragments before the fault hold.
    EXPECT_EQ(result.data.size(), kept) << damage.name;
    EXPECT_TRUE(std::equal(result.data.begin(), result.data.end(), whole.begin())) << damage.name;
    const GetResult next = handle.Get(kOpGetNext, Le(0, 4), 4000);
    EXPECT_EQ(ReadLe(next.key, 0, 4, true), kLongest + 1) << "the position moved on";
    // Records whose fragments lie on other pages read as before.
    const auto& fragments = file.Layout().recordFragments;
    int checked = 0;
    for (std::size_t r = 0; r < fragments.size(); ++r) {
      const bool apart = std::none_of(fragments[r].begin(), fragments[r].end(), [&](const auto& f) {
        return std::any_of(chain.begin(), chain.end(),
                           [&](const auto& c) { return c.page == f.page; });
      });
      if (!apart) continue;
      const std::int32_t id = static_cast<std::int32_t>(ReadLe(spec.records[r], 0, 4, true));
      const GetResult other = handle.Get(kOpGetEqual, Le(id, 4), 4000);
      EXPECT_EQ(other.status, status::kSuccess) << damage.name << ", record " << id;
      EXPECT_TRUE(other.data == VariableRecord(id)) << damage.name << ", record " << id;
      ++checked;
    }
    EXPECT_GT(checked, 0) << damage.name;
    ExpectWalkAsGetNext(file.Path());
  }
}

TEST_P(VariableRecords, VariantsThisReaderDoesNotReadAreRefused) {
  struct Refusal {
    const char* name;
    std::uint16_t expected;
    std::function<void(WrittenFile&, std::size_t fcr)> apply;
  };
  const std::uint16_t physical = static_cast<std::uint16_t>(kFixed + (IsV6() ? 2 : 0) + 4 + 8);
  const Refusal refusals[] = {
      {"blank truncation", status::kNotBtrieveFile,
       [](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x106, 0x0003); }},
      {"truncation marker", status::kNotBtrieveFile,
       [](WrittenFile& f, std::size_t fcr) { f.SetByte(fcr + 0x38, 0xFD); }},
      {"flag without marker", status::kNotBtrieveFile,
       [](WrittenFile& f, std::size_t fcr) { f.SetByte(fcr + 0x38, 0); }},
      {"marker without flag", status::kNotBtrieveFile,
       [](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x106, 0); }},
      {"compressed", status::kNotBtrieveFile,
       [](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x106, 0x0009); }},
      {"variable-tail tables", status::kNotBtrieveFile,
       [](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x106, 0x0801); }},
      {"slot with 2 bytes unannounced", status::kNotBtrieveFile,
       [=](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x18, physical + 2); }},
      {"slot with 4 bytes unannounced", status::kNotBtrieveFile,
       [=](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x18, physical + 4); }},
      {"slot with 3 bytes too many", status::kIoError,
       [=](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x18, physical + 3); }},
      {"slot without room for the duplicate pointers", status::kIoError,
       [=](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x18, physical - 8); }},
      {"slot without room for the pointer", status::kIoError,
       [=](WrittenFile& f, std::size_t fcr) { f.SetU16(fcr + 0x18, physical - 10); }},
  };
  for (const Refusal& refusal : refusals) {
    WrittenFile file(Spec());
    ASSERT_EQ(file.Layout().physicalRecordLength, physical);
    refusal.apply(file, file.PageOffset(file.Layout().currentFcrPage));
    EXPECT_EQ(file.OpenStatus(), refusal.expected) << refusal.name;
  }
}

// Every record's chain is the same long chain of small fragments (a crafted file that would cost
// records times chain length): each record answers 54 with its fixed part, and only the first
// fragment is ever looked at per record.
TEST_P(VariableRecords, ChainsThatShareFragmentsAreDamage) {
  writer::FileSpec spec = Spec();
  spec.maxFragmentData = 8;
  WrittenFile file(spec);
  const std::size_t longest = InsertionIndex(spec, kLongest);
  const auto& layout = file.Layout();
  const std::size_t at = layout.recordSlots[longest] + (IsV6() ? 2 : 0) + kFixed;
  std::vector<std::byte> pointer(file.Bytes().begin() + static_cast<std::ptrdiff_t>(at),
                                 file.Bytes().begin() + static_cast<std::ptrdiff_t>(at + 4));
  for (std::size_t r = 0; r < layout.recordSlots.size(); ++r) {
    const std::size_t slot = layout.recordSlots[r] + (IsV6() ? 2 : 0) + kFixed;
    for (std::size_t i = 0; i < 4; ++i)
      file.SetByte(slot + i, std::to_integer<std::uint8_t>(pointer[i]));
  }
  Handle handle;
  ASSERT_EQ(handle.Open(file.Path()), status::kSuccess);
  GetResult result = handle.Get(kOpGetFirst, Le(0, 4), 4000);
  int records = 0;
  while (result.status != status::kEndOfFile) {
    ASSERT_EQ(result.status, status::kVariablePartDamaged);
    EXPECT_EQ(result.data.size(), kFixed);
    ++records;
    result = handle.Get(kOpGetNext, Le(0, 4), 4000);
  }
  EXPECT_EQ(records, kCount);
  const std::optional<Reason> reason = LastRefusal(file.Path(), status::kVariablePartDamaged);
  EXPECT_EQ(reason ? reason->check : Check::kNone, Check::kFragmentShared);
}

}  // namespace
}  // namespace btrieve::test
