// The order in which Get operations see records, per key type and flag, in both formats; null keys,
// duplicate chains and keys this reader cannot order.
#include "btrieve/key_order.h"
#include "btrieve/index_walk.h"
#include "btrieve/reason.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <string_view>

#include "btrieve/file_parser.h"
#include "written_file.h"

namespace btrieve::test {
namespace {

using writer::Format;
namespace kf = writer::key_flag;
namespace kt = writer::key_type;

using namespace std::string_literals;

constexpr std::uint16_t kLength = 32;
constexpr std::uint16_t kField = 8;  // where the tested key's bytes start in each record
constexpr std::uint16_t kExt = kf::kExtendedType;

using Bytes = std::vector<std::byte>;

Bytes Str(const std::string& text) {
  Bytes bytes;
  for (const char c : text)
    bytes.push_back(static_cast<std::byte>(c));
  return bytes;
}

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A record: the id (INTEGER, offset 0) and the field bytes from kField on.
Bytes MakeRecord(std::int32_t id, const Bytes& field) {
  Bytes record = Le(id, 4);
  record.resize(kLength, std::byte{0});
  std::copy(field.begin(), field.end(), record.begin() + kField);
  return record;
}

Bytes KeyOf(const writer::Key& key, const Bytes& record) {
  Bytes value;
  for (const writer::Segment& s : key.segments) {
    value.insert(value.end(), record.begin() + s.offset, record.begin() + s.offset + s.length);
  }
  return value;
}

struct Row {
  std::int32_t id;
  Bytes field;
};

class KeyOrderTest : public testing::TestWithParam<Format> {
 protected:
  [[nodiscard]] writer::FileSpec Spec(std::vector<writer::Key> keys, const std::vector<Row>& rows,
                                      bool reversePhysicalOrder = false) const {
    writer::FileSpec spec;
    spec.format = GetParam();
    spec.pageSize = 512;
    spec.recordLength = kLength;
    spec.keys = std::move(keys);
    for (const Row& row : rows)
      spec.records.push_back(MakeRecord(row.id, row.field));
    spec.reversePhysicalOrder = reversePhysicalOrder;
    return spec;
  }

  // The ids seen walking `keyNumber` from the record with id `first` to the end.
  static std::vector<std::int32_t> Walk(const WrittenFile& file, const writer::FileSpec& spec,
                                        std::int8_t keyNumber, std::int32_t first) {
    const writer::Key& key = spec.keys[static_cast<std::size_t>(keyNumber)];
    Bytes start;
    for (const Bytes& record : spec.records) {
      if (ReadLe(record, 0, 4, true) == first) start = KeyOf(key, record);
    }
    Handle handle;
    EXPECT_EQ(handle.Open(file.Path()), status::kSuccess);
    std::vector<std::int32_t> ids;
    GetResult result = handle.Get(kOpGetEqual, start, kLength, keyNumber);
    while (result.status == status::kSuccess) {
      ids.push_back(static_cast<std::int32_t>(ReadLe(result.data, 0, 4, true)));
      EXPECT_EQ(result.key, KeyOf(key, result.data));
      result = handle.Get(kOpGetNext, Bytes(start.size()), kLength, keyNumber);
    }
    EXPECT_EQ(result.status, status::kEndOfFile);
    const GetResult last = handle.Get(kOpGetLast, Bytes(start.size()), kLength, keyNumber);
    if (!ids.empty() && last.status == status::kSuccess) {
      EXPECT_EQ(ReadLe(last.data, 0, 4, true), ids.back()) << "Get Last";
    }
    return ids;
  }
};

INSTANTIATE_TEST_SUITE_P(Formats, KeyOrderTest, testing::Values(Format::kPre6, Format::kV6),
                         [](const testing::TestParamInfo<Format>& info) {
                           return info.param == Format::kV6 ? "V6" : "Pre6";
                         });

TEST_P(KeyOrderTest, EachTypeOrdersAsItsTypeSays) {
  struct Case {
    const char* name;
    std::vector<writer::Segment> segments;
    std::vector<Row> rows;
    std::vector<std::int32_t> expected;
  };
  const Case cases[] = {
      {"integer 4",
       {{kField, 4, kt::kInteger, kExt, 0}},
       {{1, Le(7, 4)}, {2, Le(-3, 4)}, {3, Le(100000, 4)}, {4, Le(-2000000000, 4)}, {5, Le(0, 4)}},
       {4, 2, 5, 1, 3}},
      {"integer 1",
       {{kField, 1, kt::kInteger, kExt, 0}},
       {{1, Le(5, 1)}, {2, Le(-1, 1)}, {3, Le(127, 1)}, {4, Le(-128, 1)}},
       {4, 2, 1, 3}},
      {"integer 8",
       {{kField, 8, kt::kInteger, kExt, 0}},
       {{1, Le(1LL << 40, 8)}, {2, Le(-(1LL << 50), 8)}, {3, Le(255, 8)}},
       {2, 3, 1}},
      {"integer 2 descending",
       {{kField, 2, kt::kInteger, kExt | kf::kDescending, 0}},
       {{1, Le(1, 2)}, {2, Le(300, 2)}, {3, Le(-5, 2)}},
       {2, 1, 3}},
      {"unsigned binary 4",
       {{kField, 4, kt::kUnsignedBinary, kExt, 0}},
       {{1, Le(0xFFFFFFFF, 4)}, {2, Le(1, 4)}, {3, Le(0x80000000, 4)}, {4, Le(0x100, 4)}},
       {2, 4, 3, 1}},
      {"old-style binary 2",
       {{kField, 2, 0, kf::kBinary, 0}},
       {{1, Le(0x0100, 2)}, {2, Le(0x00FF, 2)}, {3, Le(0xFFFF, 2)}},
       {2, 1, 3}},
      {"autoincrement 2",
       {{kField, 2, kt::kAutoIncrement, kExt, 0}},
       {{1, Le(3, 2)}, {2, Le(1, 2)}, {3, Le(2, 2)}},
       {2, 3, 1}},
      {"string",
       {{kField, 6, kt::kString, kExt, 0}},
       {{1, Str("b")}, {2, Str("B")}, {3, Str("ab")}, {4, Str("a\xff")}},
       {2, 3, 4, 1}},
      {"old-style string",
       {{kField, 6, 0, 0, 0}},
       {{1, Str("b")}, {2, Str("B")}, {3, Str("ab")}, {4, Str("a\xff")}},
       {2, 3, 4, 1}},
      {"string descending",
       {{kField, 6, kt::kString, kExt | kf::kDescending, 0}},
       {{1, Str("b")}, {2, Str("B")}, {3, Str("ab")}},
       {1, 3, 2}},
      {"zstring",
       {{kField, 8, kt::kZString, kExt, 0}},
       {{1, Str("abc")}, {2, Str("ab")}, {3, Str("b")}, {4, Str("")}},
       {4, 2, 1, 3}},
      // The length byte decides how much text counts (at most the segment's room); bytes beyond
      // it do not.
      {"lstring",
       {{kField, 6, kt::kLString, kExt, 0}},
       {{1, Str("\x02"
                "ab")},
        {2, Str("\x01"
                "b")},
        {3, Str("\x03"
                "abc")},
        {4, Str("\x01"
                "azz")},
        {5, Str("")},
        {6, Str("\xff\x01")}},
       {5, 6, 4, 1, 3, 2}},
      {"lstring descending",
       {{kField, 4, kt::kLString, kExt | kf::kDescending, 0}},
       {{1, Str("\x01"
                "a")},
        {2, Str("\x02"
                "ab")},
        {3, Str("\x01"
                "b")}},
       {3, 2, 1}},
      {"case-insensitive string",
       {{kField, 4, kt::kString, kExt | kf::kCaseInsensitive, 0}},
       {{1, Str("b")}, {2, Str("A")}, {3, Str("a[")}, {4, Str("AZ")}, {5, Str("\xe4")}},
       {2, 4, 3, 1, 5}},
      {"case-insensitive zstring",
       {{kField, 6, kt::kZString, kExt | kf::kCaseInsensitive, 0}},
       {{1, Str("abc")}, {2, Str("ABD")}, {3, Str("Ab")}, {4, Str("_")}},
       {3, 1, 2, 4}},
      {"case-insensitive old-style string",
       {{kField, 2, 0, kf::kCaseInsensitive, 0}},
       {{1, Str("zz")}, {2, Str("YY")}, {3, Str("y`")}},
       {2, 3, 1}},
      {"two segments, the second descending",
       {{kField, 2, kt::kString, kExt, 0},
        {kField + 2, 2, kt::kInteger, kExt | kf::kDescending, 0}},
       {{1, Str("aa\x01")}, {2, Str("aa\x05")}, {3, Str("ab")}, {4, Str("a\x01\x09")}},
       {4, 2, 1, 3}},
  };
  for (const Case& c : cases) {
    const writer::FileSpec spec = Spec({writer::Key{c.segments}}, c.rows);
    const WrittenFile file(spec);
    EXPECT_EQ(Walk(file, spec, 0, c.expected.front()), c.expected) << c.name;
  }
}

Bytes F32(float value) {
  Bytes bytes(4);
  std::memcpy(bytes.data(), &value, 4);
  return bytes;
}
Bytes F64(double value) {
  Bytes bytes(8);
  std::memcpy(bytes.data(), &value, 8);
  return bytes;
}
Bytes Raw(std::initializer_list<unsigned> values) {
  Bytes bytes;
  for (const unsigned v : values)
    bytes.push_back(static_cast<std::byte>(v));
  return bytes;
}
// Microsoft binary format: mantissa bytes (lowest first), the byte with the sign bit, the exponent.
Bytes Mbf4(bool negative, unsigned exponent, unsigned mantissa) {
  return Raw({mantissa & 0xFF, (mantissa >> 8) & 0xFF,
              ((mantissa >> 16) & 0x7F) | (negative ? 0x80U : 0U), exponent});
}
Bytes Date(unsigned year, unsigned month, unsigned day) {
  return Raw({day, month, year & 0xFF, year >> 8});
}

// Every orderable type, each with values that provoke its edge cases, given as groups of equal
// values in ascending order. The reader's order (built from extracted keys) must agree with the
// pairwise comparator, with the groups and with the writer's index, ascending and descending, in
// both formats.
TEST_P(KeyOrderTest, EveryTypeOrdersByValue) {
  using Groups = std::vector<std::vector<Bytes>>;
  struct Case {
    const char* name;
    std::uint8_t type;
    std::uint16_t length;
    Groups groups;
  };
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Case cases[] = {
      {"float 4",
       2,
       4,
       {{F32(-nan)},
        {F32(-inf)},
        {F32(-1.5F)},
        {F32(-1e-40F)},
        {F32(-0.0F), F32(0.0F)},
        {F32(1e-40F)},
        {F32(2.0F)},
        {F32(inf)},
        {F32(nan)}}},
      {"float 8", 2, 8, {{F64(-1e300)}, {F64(-1)}, {F64(-0.0), F64(0.0)}, {F64(1e-310)}, {F64(1)}}},
      {"bfloat 4",
       9,
       4,
       {{Mbf4(true, 0x90, 0x400000)},
        {Mbf4(true, 0x81, 0)},
        {Mbf4(false, 0, 0), Mbf4(true, 0, 0x123456)},
        {Mbf4(false, 0x81, 0)},
        {Mbf4(false, 0x81, 0x200000)},
        {Mbf4(false, 0x90, 0)}}},
      {"bfloat 8",
       9,
       8,
       {{Raw({0, 0, 0, 0, 0, 0, 0x80, 0x82})},
        {Raw({0, 0, 0, 0, 0, 0, 0, 0}), Raw({9, 0, 0, 0, 0, 0, 0x80, 0})},
        {Raw({0xFF, 0, 0, 0, 0, 0, 0, 0x81})},
        {Raw({0, 0, 0, 0, 0, 0, 0x01, 0x82})}}},
      {"date, invalid ones included",
       3,
       4,
       {{Date(0, 0, 0)},
        {Date(1998, 2, 31)},
        {Date(1998, 3, 1)},
        {Date(1998, 13, 0)},
        {Date(1999, 1, 1)}}},
      {"time",
       4,
       4,
       {{Raw({0, 0, 0, 0})}, {Raw({99, 59, 59, 9})}, {Raw({0, 0, 0, 10})}, {Raw({0, 0, 0, 25})}}},
      {"timestamp", 20, 8, {{Le(0, 8)}, {Le(1, 8)}, {Le(1LL << 40, 8)}, {Le(INT64_MIN, 8)}}},
      {"currency", 19, 8, {{Le(INT64_MIN, 8)}, {Le(-1, 8)}, {Le(0, 8)}, {Le(INT64_MAX, 8)}}},
      {"logical 1", 7, 1, {{Raw({0})}, {Raw({1})}, {Str("F")}, {Str("T")}, {Raw({0xFF})}}},
      {"logical 2", 7, 2, {{Raw({0, 1})}, {Raw({1, 0})}, {Raw({1, 2})}}},
      {"autoincrement 2: by absolute value",
       15,
       2,
       {{Le(0, 2)}, {Le(1, 2), Le(-1, 2)}, {Le(-7, 2), Le(7, 2)}, {Le(300, 2)}, {Le(-32768, 2)}}},
      {"autoincrement 4", 15, 4, {{Le(5, 4), Le(-5, 4)}, {Le(70000, 4)}, {Le(INT32_MIN, 4)}}},
      // Sign nibble D or B negative, anything else positive; -0 is 0; nibbles above 9 count high.
      {"decimal 3",
       5,
       3,
       {{Raw({0x12, 0x34, 0x5D})},
        {Raw({0x00, 0x00, 0x1D}), Raw({0x00, 0x00, 0x1B})},
        {Raw({0x00, 0x00, 0x0C}), Raw({0x00, 0x00, 0x0D}), Raw({0x00, 0x00, 0x0F})},
        {Raw({0x00, 0x00, 0x1C}), Raw({0x00, 0x00, 0x1F}), Raw({0x00, 0x00, 0x1A})},
        {Raw({0x99, 0x99, 0x9C})},
        {Raw({0xA0, 0x00, 0x0C})}}},
      {"money 2", 6, 2, {{Raw({0x99, 0x9D})}, {Raw({0x00, 0x0C})}, {Raw({0x00, 0x5F})}}},
      // Overpunched last byte: { A-I positive, } J-R negative, plain digits positive; a blank is 0.
      {"numeric 4",
       8,
       4,
       {{Str("012L")},
        {Str("000J")},
        {Str("000}"), Str("0000"), Str("000{"), Str(" 00{")},
        {Str("001A"), Str("0011")},
        {Str("9999"), Str("999I")},
        {Str("99:9")}}},
      {"numericsa 3", 18, 3, {{Str("01q")}, {Str("00q")}, {Str("00p"), Str("000")}, {Str("011")}}},
      {"numericsts 4",
       17,
       4,
       {{Str("123-")}, {Str("001-")}, {Str("000-"), Str("000+")}, {Str("005+")}, {Str("123+")}}},
  };
  for (const Case& c : cases) {
    for (const bool descending : {false, true}) {
      const std::string name = std::string(c.name) + (descending ? " descending" : "");
      // Repeating duplicates: equal values keep their file order, no chain to build.
      const writer::Segment segment{
          kField, c.length, c.type,
          static_cast<std::uint16_t>(kExt | kf::kDuplicates | kf::kRepeatingDuplicates |
                                     (descending ? kf::kDescending : 0)),
          0};
      // Records in an order unlike the values': groups from the middle outwards, ids per group.
      std::vector<Row> rows;
      std::vector<std::size_t> groupOf;
      for (std::size_t g = 0; g < c.groups.size(); ++g) {
        const std::size_t picked = (g * 5 + c.groups.size() / 2) % c.groups.size();
        for (const Bytes& value : c.groups[picked]) {
          // (Ids from 1: an all-zero pre-6.0 slot would be a never-used one.)
          rows.push_back({static_cast<std::int32_t>(rows.size() + 1), value});
          groupOf.push_back(picked);
        }
      }
      const writer::FileSpec spec = Spec({writer::Key{{segment}}}, rows);
      const ParseResult parsed = ParseFile(writer::Build(spec).bytes);
      ASSERT_EQ(parsed.status, status::kSuccess) << name;
      const ParsedFile& file = *parsed.file;
      const KeyOrder& order = file.Order(0);
      ASSERT_EQ(order.status, status::kSuccess) << name;
      EXPECT_EQ(order.records, file.ReferenceOrder(0).records) << name;
      // The writer orders its index by decoding each value on its own: the reader agrees with it.
      for (const IndexFinding& finding : WalkIndexes(file))
        ADD_FAILURE() << name << ": index page " << finding.page << ": " << finding.what;
      // Each record's group, from its id; records are numbered in file order.
      const auto group = [&](std::uint32_t r) {
        const Bytes record(file.Record(r).begin(), file.Record(r).end());
        const auto id = static_cast<std::size_t>(ReadLe(record, 0, 4, true));
        return static_cast<int>(groupOf[id - 1]);
      };
      ASSERT_EQ(order.records.size(), rows.size()) << name;
      for (std::size_t i = 1; i < order.records.size(); ++i) {
        const int step = group(order.records[i]) - group(order.records[i - 1]);
        EXPECT_TRUE(descending ? step <= 0 : step >= 0) << name << " at " << i;
      }
      for (std::uint32_t a = 0; a < file.RecordCount(); ++a) {
        for (std::uint32_t b = 0; b < file.RecordCount(); ++b) {
          const int expected = (group(a) > group(b)) - (group(a) < group(b));
          const int found = CompareRecordKeys(file.Keys()[0], file.Record(a), file.Record(b));
          EXPECT_EQ((found > 0) - (found < 0), descending ? -expected : expected)
              << name << ": records " << a << " and " << b;
        }
      }
    }
  }
}

TEST_P(KeyOrderTest, ZeroTerminatedKeysIgnoreBytesAfterTheZero) {
  const writer::FileSpec spec = Spec({writer::Key{{{kField, 8, kt::kZString, kExt, 0}}}},
                                     {{1, Str("ab\0x"s)}, {2, Str("b")}});
  const WrittenFile file(spec);
  Handle handle;
  ASSERT_EQ(handle.Open(file.Path()), status::kSuccess);
  Bytes wanted = Str("ab\0yz"s);
  wanted.resize(8);
  const GetResult found = handle.Get(kOpGetEqual, wanted, kLength);
  ASSERT_EQ(found.status, status::kSuccess);
  EXPECT_EQ(ReadLe(found.data, 0, 4, true), 1);
}

// Equal values of a linked-duplicate key come in insertion order (their chain), whatever the slots'
// physical order.
TEST_P(KeyOrderTest, LinkedDuplicatesFollowTheirChain) {
  const std::vector<Row> rows = {{1, Le(5, 2)}, {2, Le(3, 2)}, {3, Le(5, 2)},
                                 {4, Le(3, 2)}, {5, Le(5, 2)}, {6, Le(4, 2)}};
  for (const bool reversed : {false, true}) {
    const writer::FileSpec spec =
        Spec({writer::Key{{{kField, 2, kt::kInteger, kExt | kf::kDuplicates, 0}}}}, rows, reversed);
    const WrittenFile file(spec);
    EXPECT_EQ(Walk(file, spec, 0, 2), (std::vector<std::int32_t>{2, 4, 6, 1, 3, 5}))
        << "reversed " << reversed;
    Handle handle;
    ASSERT_EQ(handle.Open(file.Path()), status::kSuccess);
    const GetResult last = handle.Get(kOpGetLast, Le(0, 2), kLength);
    EXPECT_EQ(ReadLe(last.data, 0, 4, true), 5) << "the last duplicate of the highest value";
  }
}

// ZSTRING values equal up to their zero byte are duplicates of one another: one chain, insertion
// order.
TEST_P(KeyOrderTest, ZeroTerminatedDuplicatesShareOneChain) {
  const std::vector<Row> rows = {
      {1, Str("ab\0x"s)}, {2, Str("a")}, {3, Str("ab\0y"s)}, {4, Str("ab")}};
  for (const bool reversed : {false, true}) {
    const writer::FileSpec spec =
        Spec({writer::Key{{{kField, 8, kt::kZString, kExt | kf::kDuplicates, 0}}}}, rows, reversed);
    const WrittenFile file(spec);
    EXPECT_EQ(Walk(file, spec, 0, 2), (std::vector<std::int32_t>{2, 1, 3, 4}))
        << "reversed " << reversed;
  }
}

// (Key 0 an INTEGER and a STRING: the parse orders them by different roads.)
TEST_P(KeyOrderTest, BrokenDuplicateChainOfKey0IsDamage) {
  struct Break {
    const char* name;
    std::size_t record;   // whose pointer pair is changed
    std::size_t pointer;  // 0: previous, 4: next
    std::uint32_t value;
    Check check;
  };
  const Break breaks[] = {
      {"second head", 1, 0, 0xFFFFFFFF, Check::kDuplicateHeads},
      {"next leads nowhere", 0, 4, 0x12345678, Check::kDuplicateChainBroken},
      // replaced below by record 2's address
      {"next skips a member", 0, 4, 2, Check::kDuplicateChainBroken},
      {"chain ends early", 1, 4, 0xFFFFFFFF, Check::kDuplicateChainBroken},
      // replaced below by record 0's address
      {"chain loops", 2, 4, 0, Check::kDuplicateChainBroken},
  };
  for (const std::uint8_t type : {kt::kInteger, kt::kString}) {
    const writer::FileSpec spec =
        Spec({writer::Key{{{kField, 2, type, kExt | kf::kDuplicates, 0}}}},
             {{1, Le(5, 2)}, {2, Le(5, 2)}, {3, Le(5, 2)}});
    for (const Break& b : breaks) {
      const std::string name = std::string(b.name) + (type == kt::kString ? " (string)" : "");
      WrittenFile file(spec);
      const auto& layout = file.Layout();
      std::uint32_t value = b.value;
      if (std::string(b.name) == "next skips a member") value = layout.recordAddresses[2];
      if (std::string(b.name) == "chain loops") value = layout.recordAddresses[0];
      const std::size_t pair =
          layout.recordSlots[b.record] + (GetParam() == Format::kV6 ? 2 : 0) + kLength;
      file.SetWs32(pair + b.pointer, value);
      EXPECT_EQ(file.OpenStatus(), status::kIoError) << name;
      const std::optional<Reason> reason = LastRefusal(file.Path(), status::kIoError);
      ASSERT_TRUE(reason) << name;
      EXPECT_EQ(reason->check, b.check) << name << ": " << ReasonText(*reason);
      EXPECT_EQ(reason->key, 0U) << name;
      EXPECT_NE(reason->page, Reason::kUnset) << name;
    }
  }
}

TEST_P(KeyOrderTest, BrokenDuplicateChainOfAnotherKeyFailsOnlyItsGets) {
  const writer::FileSpec spec =
      Spec({writer::Key{{{0, 4, kt::kInteger, kExt, 0}}},
            writer::Key{{{kField, 2, kt::kInteger, kExt | kf::kDuplicates, 0}}}},
           {{1, Le(5, 2)}, {2, Le(5, 2)}});
  WrittenFile file(spec);
  const std::size_t pair =
      file.Layout().recordSlots[1] + (GetParam() == Format::kV6 ? 2 : 0) + kLength;
  file.SetWs32(pair, 0xFFFFFFFF);  // a second head
  Handle handle;
  ASSERT_EQ(handle.Open(file.Path()), status::kSuccess);
  EXPECT_EQ(handle.Get(kOpGetLast, Le(0, 2), kLength, 1).status, status::kIoError);
  const std::optional<Reason> reason = LastRefusal(file.Path(), status::kIoError);
  ASSERT_TRUE(reason);
  EXPECT_EQ(ReasonText(*reason).substr(ReasonText(*reason).find(": ") + 2),
            "key 1: a duplicate chain of 2 equal values has 2 first members");
  EXPECT_EQ(handle.Get(kOpGetLast, Le(0, 4), kLength, 0).status, status::kSuccess);
}

TEST_P(KeyOrderTest, NullKeysAreLeftOutOfTheirKeyOnly) {
  // Key 1: one segment, null when it is all zero. Key 2: two segments, null when either is blank.
  const std::vector<writer::Key> keys = {
      writer::Key{{{0, 4, kt::kInteger, kExt, 0}}},
      writer::Key{{{kField, 2, kt::kInteger, kExt | kf::kDuplicates | kf::kNullAll, 0}}},
      writer::Key{{{kField + 2, 2, kt::kString, kExt | kf::kNullAny | kf::kDuplicates, ' '},
                   {kField + 4, 2, kt::kString, kExt | kf::kNullAny | kf::kDuplicates, ' '}}},
  };
  const std::vector<Row> rows = {{1, Cat(Le(1, 2), Str("aabb"))}, {2, Cat(Le(0, 2), Str("  bb"))},
                                 {3, Cat(Le(2, 2), Str("aa  "))}, {4, Cat(Le(0, 2), Str("ccdd"))},
                                 {5, Cat(Le(3, 2), Str("    "))}, {6, Cat(Le(4, 2), Str("a  b"))}};
  const writer::FileSpec spec = Spec(keys, rows);
  const WrittenFile file(spec);
  EXPECT_EQ(Walk(file, spec, 0, 1), (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(Walk(file, spec, 1, 1), (std::vector<std::int32_t>{1, 3, 5, 6}));
  EXPECT_EQ(Walk(file, spec, 2, 6), (std::vector<std::int32_t>{6, 1, 4}));

  Handle handle;
  ASSERT_EQ(handle.Open(file.Path()), status::kSuccess);
  EXPECT_EQ(handle.Get(kOpGetEqual, Le(0, 2), kLength, 1).status, status::kKeyNotFound);
}

TEST_P(KeyOrderTest, KeysThisReaderCannotOrderAnswer41OnGets) {
  struct Case {
    const char* name;
    writer::Segment segment;
  };
  const Case cases[] = {
      {"float of 6 bytes", {kField, 6, kt::kFloat, kExt, 0}},
      {"date of 3 bytes", {kField, 3, 3, kExt, 0}},
      {"integer of 3 bytes", {kField, 3, kt::kInteger, kExt, 0}},
      {"autoincrement of 3 bytes", {kField, 3, kt::kAutoIncrement, kExt, 0}},
      {"guid", {kField, 16, 27, kExt, 0}},
      {"wstring", {kField, 8, 25, kExt, 0}},
      {"bit", {kField, 1, 16, kExt, 0}},
      {"case-insensitive logical", {kField, 1, 7, kExt | kf::kCaseInsensitive, 0}},
      {"case-insensitive integer", {kField, 4, kt::kInteger, kExt | kf::kCaseInsensitive, 0}},
      {"case-insensitive old-style binary", {kField, 4, 0, kf::kBinary | kf::kCaseInsensitive, 0}},
  };
  for (const Case& c : cases) {
    const writer::FileSpec spec = Spec(
        {writer::Key{{c.segment}}, writer::Key{{{0, 4, kt::kInteger, kExt, 0}}}}, {{1, Le(1, 8)}});
    const WrittenFile file(spec);
    Handle handle;
    ASSERT_EQ(handle.Open(file.Path()), status::kSuccess) << c.name;
    EXPECT_EQ(handle.Stat().status, status::kSuccess) << c.name;
    for (const std::uint16_t operation : {kOpGetEqual, kOpGetNext, kOpGetLast}) {
      EXPECT_EQ(handle.Get(operation, Bytes(8), kLength, 0).status, status::kOperationNotAllowed)
          << c.name;
    }
    const std::optional<Reason> reason = LastRefusal(file.Path(), status::kOperationNotAllowed);
    EXPECT_TRUE(reason && reason->check == Check::kKeyType && reason->key == 0 &&
                reason->found == c.segment.type)
        << c.name;
    EXPECT_EQ(handle.Get(kOpGetEqual, Le(1, 4), kLength, 1).status, status::kSuccess) << c.name;
    ExpectWalkAsGetNext(file.Path(), 0);  // refused as Get First is
    ExpectWalkAsGetNext(file.Path(), 1);
  }
}

// A sequence that sorts the digits after the letters and folds lower case onto upper case.
writer::CollatingSequence LettersFirst() {
  writer::CollatingSequence sequence;
  sequence.name = "LETTERS";
  for (unsigned i = 0; i < 256; ++i)
    sequence.table[i] = static_cast<std::uint8_t>(i);
  for (unsigned c = '0'; c <= '9'; ++c)
    sequence.table[c] = static_cast<std::uint8_t>(0xF0 + (c - '0'));
  for (unsigned c = 'a'; c <= 'z'; ++c)
    sequence.table[c] = static_cast<std::uint8_t>(c - 'a' + 'A');
  return sequence;
}

writer::CollatingSequence Reversed() {
  writer::CollatingSequence sequence;
  sequence.name = "REVERSE";
  for (unsigned i = 0; i < 256; ++i)
    sequence.table[i] = static_cast<std::uint8_t>(255 - i);
  return sequence;
}

constexpr std::uint16_t kAcs = kExt | kf::kAlternateCollation;

// Each byte passes through the file's table before it is compared: in both formats for one
// sequence, and in 6.x for two keys with a sequence each. Values equal under the table are
// duplicates, found by Get Equal in either spelling.
TEST_P(KeyOrderTest, AlternateCollatingSequencesMapEveryByte) {
  const std::vector<Row> rows = {{1, Str("b1")}, {2, Str("9a")}, {3, Str("A2")},
                                 {4, Str("a2")}, {5, Str("B")},  {6, Str("a0")}};
  writer::FileSpec spec =
      Spec({writer::Key{{{kField, 4, kt::kZString, kAcs | kf::kDuplicates, 0, 0}}}}, rows);
  spec.collatingSequences = {LettersFirst()};
  if (GetParam() == Format::kV6) {
    spec.keys.push_back(writer::Key{{{kField, 2, kt::kString, kAcs | kf::kDuplicates, 0, 1}}});
    spec.collatingSequences.push_back(Reversed());
  }
  const WrittenFile file(spec);
  EXPECT_EQ(Walk(file, spec, 0, 6), (std::vector<std::int32_t>{6, 3, 4, 5, 1, 2}));
  if (GetParam() == Format::kV6) {
    EXPECT_EQ(Walk(file, spec, 1, 1), (std::vector<std::int32_t>{1, 4, 6, 5, 3, 2}));
  }
  Handle handle;
  ASSERT_EQ(handle.Open(file.Path()), status::kSuccess);
  const GetResult found = handle.Get(kOpGetEqual, Text("a2", 4), kLength);
  ASSERT_EQ(found.status, status::kSuccess);
  EXPECT_EQ(ReadLe(found.data, 0, 4, true), 3) << "the first of the duplicates A2 and a2";
  EXPECT_EQ(handle.Get(kOpGetEqual, Text("b", 4), kLength).status, status::kSuccess);
}

TEST_P(KeyOrderTest, MissingCollatingSequenceIsDamage) {
  const std::vector<Row> rows = {{1, Str("b")}, {2, Str("a")}};
  const writer::Key byText{{{kField, 4, kt::kString, kAcs, 0, 0}}};
  const writer::Key byId{{{0, 4, kt::kInteger, kExt, 0}}};
  for (const bool firstKey : {true, false}) {
    writer::FileSpec spec =
        Spec(firstKey ? std::vector{byText, byId} : std::vector{byId, byText}, rows);
    spec.collatingSequences = {LettersFirst()};
    WrittenFile file(spec);
    const std::size_t page = file.PageOffset(file.Layout().collationPages.at(0));
    file.SetByte(page + 6, 0);  // the marker
    if (firstKey) {
      EXPECT_EQ(file.OpenStatus(), status::kIoError);
    } else {
      Handle handle;
      ASSERT_EQ(handle.Open(file.Path()), status::kSuccess);
      EXPECT_EQ(handle.Get(kOpGetLast, Bytes(4), kLength, 1).status, status::kIoError);
      EXPECT_EQ(handle.Get(kOpGetLast, Bytes(4), kLength, 0).status, status::kSuccess);
    }
    const std::optional<Reason> reason = LastRefusal(file.Path(), status::kIoError);
    ASSERT_TRUE(reason);
    EXPECT_EQ(reason->check, Check::kCollationMissing);
    EXPECT_EQ(reason->key, firstKey ? 0U : 1U);
  }
}

// The order built from extracted keys is the order of pairwise comparison, for every key type,
// direction, collation, duplicates and segmented keys, on records stored in no particular order
// whose fields are drawn from a few bytes that provoke ties, zeros, prefixes and sign changes.
TEST_P(KeyOrderTest, ExtractedKeysOrderAsThePairwiseComparison) {
  constexpr std::uint16_t kDup = kf::kDuplicates;
  constexpr std::uint16_t kDesc = kf::kDescending;
  constexpr std::uint16_t kCase = kf::kCaseInsensitive;
  struct Case {
    const char* name;
    std::vector<writer::Segment> segments;
  };
  const Case cases[] = {
      {"integer 1 descending", {{kField, 1, kt::kInteger, kExt | kDup | kDesc}}},
      {"integer 2", {{kField, 2, kt::kInteger, kExt | kDup}}},
      {"integer 4 descending", {{kField, 4, kt::kInteger, kExt | kDup | kDesc}}},
      {"integer 8", {{kField, 8, kt::kInteger, kExt | kDup}}},
      {"autoincrement 4", {{kField, 4, kt::kAutoIncrement, kExt}}},
      {"unsigned 2", {{kField, 2, kt::kUnsignedBinary, kExt | kDup}}},
      {"unsigned 12", {{kField, 12, kt::kUnsignedBinary, kExt | kDup}}},
      {"old-style binary 6", {{kField, 6, 0, kf::kBinary | kDup}}},
      {"string 6", {{kField, 6, kt::kString, kExt | kDup}}},
      {"string 6 case-insensitive descending",
       {{kField, 6, kt::kString, kExt | kDup | kCase | kDesc}}},
      {"string 6 ACS", {{kField, 6, kt::kString, kAcs | kDup, 0, 0}}},
      {"zstring 6", {{kField, 6, kt::kZString, kExt | kDup}}},
      {"zstring 6 ACS mapping a letter onto zero", {{kField, 6, kt::kZString, kAcs | kDup, 0, 0}}},
      {"lstring 7", {{kField, 7, kt::kLString, kExt | kDup}}},
      {"lstring 7 case-insensitive", {{kField, 7, kt::kLString, kExt | kDup | kCase}}},
      {"lstring 7 ACS descending", {{kField, 7, kt::kLString, kAcs | kDup | kDesc, 0, 0}}},
      {"segments zstring, integer descending, unsigned",
       {{kField, 3, kt::kZString, kExt | kDup},
        {kField + 3, 2, kt::kInteger, kExt | kDup | kDesc},
        {kField + 5, 3, kt::kUnsignedBinary, kExt | kDup}}},
      {"null keys left out", {{kField, 2, kt::kUnsignedBinary, kExt | kDup | kf::kNullAll, 0}}},
      {"string null keys left out", {{kField, 5, kt::kString, kExt | kDup | kf::kNullAll, 0}}},
      {"long string: the comparator breaks ties", {{kField, 40, kt::kString, kExt | kDup}}},
      {"long zstring, null keys left out",
       {{kField, 40, kt::kZString, kExt | kDup | kf::kNullAny, 0}}},
  };
  // Few distinct bytes: many equal values, zeros inside texts, sign bits set and not.
  const std::uint8_t alphabet[] = {0, 0, 1, 'a', 'A', 'b', 'x', 0x7F, 0x80, 0xFF};
  std::uint32_t seed = 12345;
  const auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 16;
  };
  writer::CollatingSequence zeroing = LettersFirst();
  zeroing.table['x'] = 0;
  for (const Case& c : cases) {
    const std::uint16_t length = c.segments.back().offset + c.segments.back().length;
    writer::FileSpec spec;
    spec.format = GetParam();
    spec.pageSize = 4096;
    spec.recordLength = std::max<std::uint16_t>(kLength, length);
    spec.keys = {writer::Key{c.segments}};
    spec.collatingSequences = {zeroing};
    for (std::int32_t id = 0; id < 600; ++id) {
      Bytes record = Le(id, 4);
      record.resize(spec.recordLength, std::byte{0});
      // Short fields (most draws) make long runs of equal values.
      const std::size_t used = next() % 3 == 0 ? length - kField : 1 + next() % 3;
      for (std::size_t i = 0; i < used && kField + i < record.size(); ++i)
        record[kField + i] = static_cast<std::byte>(alphabet[next() % std::size(alphabet)]);
      if (c.segments[0].type == kt::kLString) record[kField] = static_cast<std::byte>(next() % 8);
      spec.records.push_back(record);
    }
    const WrittenFile file(spec);
    const ParseResult parsed = ParseFile(file.Bytes());
    ASSERT_EQ(parsed.status, status::kSuccess) << c.name;
    const KeyOrder& built = parsed.file->Order(0);
    const KeyOrder reference = parsed.file->ReferenceOrder(0);
    EXPECT_EQ(built.status, reference.status) << c.name;
    EXPECT_EQ(built.records, reference.records) << c.name;
    EXPECT_GT(built.records.size(), 1u) << c.name;
    if (std::string_view(c.name).find("null") != std::string_view::npos) {
      EXPECT_LT(built.records.size(), spec.records.size()) << c.name;
    }
    const bool longKey = std::string_view(c.name).starts_with("long");
    EXPECT_EQ(built.comparatorUsed, longKey) << c.name;
  }
}

// The same on every genuine file, for every key the reader can order.
TEST(KeyOrderGenuine, ExtractedKeysOrderAsThePairwiseComparison) {
  const auto dir = FixturesDir();
  if (!std::filesystem::exists(dir)) GTEST_SKIP() << "no fixtures";
  int compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".DAT") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Bytes bytes(chars.size());
    std::memcpy(bytes.data(), chars.data(), chars.size());
    const ParseResult parsed = ParseFile(std::move(bytes));
    if (parsed.status != status::kSuccess) continue;
    for (std::size_t k = 0; k < parsed.file->Keys().size(); ++k) {
      const KeyOrder& built = parsed.file->Order(k);
      const KeyOrder reference = parsed.file->ReferenceOrder(k);
      EXPECT_EQ(built.status, reference.status) << entry.path().filename() << " key " << k;
      EXPECT_EQ(built.records, reference.records) << entry.path().filename() << " key " << k;
      ++compared;
    }
  }
  EXPECT_GT(compared, 5);
}

}  // namespace
}  // namespace btrieve::test
