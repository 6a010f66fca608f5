// kl7 records: any record file's records in key-0 order, as hex or raw; kl7 verify: its indexes
// against its records.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "btrieve/writer/writer.h"
#include "cli_fixture.h"

namespace cli::testing {
namespace {

namespace writer = btrieve::writer;

// Records of 20 bytes: a 4-byte INTEGER key 0 at offset 16, a text before it.
std::vector<std::byte> Record(std::int32_t key, const std::string& text) {
  std::vector<std::byte> record(20, std::byte{0});
  for (std::size_t i = 0; i < text.size(); ++i)
    record[i] = static_cast<std::byte>(text[i]);
  for (int i = 0; i < 4; ++i)
    record[16 + static_cast<std::size_t>(i)] = static_cast<std::byte>((key >> (8 * i)) & 0xFF);
  return record;
}

class RecordsTest : public ::testing::TestWithParam<writer::Format> {
 protected:
  std::string Write(const std::string& name, std::vector<std::vector<std::byte>> records) {
    const writer::FileSpec spec = writer::LibrarySpec(GetParam(), 512, 20, 16, std::move(records));
    const std::string path = m_dir.Path() + "/" + name;
    writer::WriteFile(path, writer::Build(spec).bytes);
    return path;
  }

  TempDirectory m_dir;
};

INSTANTIATE_TEST_SUITE_P(Formats, RecordsTest,
                         ::testing::Values(writer::Format::kPre6, writer::Format::kV6),
                         [](const ::testing::TestParamInfo<writer::Format>& info) {
                           return std::string(info.param == writer::Format::kV6 ? "V6" : "Pre6");
                         });

TEST_P(RecordsTest, HexInKeyOrderWithOffsets) {
  // Inserted out of key order, and a key above 65,535 and a negative one: key-0 order is signed.
  const std::string path =
      Write("ANY.DAT", {Record(70000, "last"), Record(-2, "first\x01"), Record(3, "Gr\xFCn")});
  const RunResult result = RunKl7({"records", path});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out,
            "record 1 (20 bytes)\n"
            "00000000  66 69 72 73 74 01 00 00  00 00 00 00 00 00 00 00  |first...........|\n"
            "00000010  fe ff ff ff                                       |....|\n"
            "record 2 (20 bytes)\n"
            "00000000  47 72 fc 6e 00 00 00 00  00 00 00 00 00 00 00 00  |Gr.n............|\n"
            "00000010  03 00 00 00                                       |....|\n"
            "record 3 (20 bytes)\n"
            "00000000  6c 61 73 74 00 00 00 00  00 00 00 00 00 00 00 00  |last............|\n"
            "00000010  70 11 01 00                                       |p...|\n");
}

TEST_P(RecordsTest, RawIsTheRecordsBytesInKeyOrder) {
  std::vector<std::vector<std::byte>> records;
  std::string expected;
  for (int i = 0; i < 300; ++i) {
    const int key = (i * 37) % 300;  // every key once, out of order
    records.push_back(Record(key, std::string("r").append(std::to_string(key))));
  }
  for (int key = 0; key < 300; ++key) {
    const std::vector<std::byte> record = Record(key, std::string("r").append(std::to_string(key)));
    expected.append(reinterpret_cast<const char*>(record.data()), record.size());
  }
  const RunResult result = RunKl7({"records", "--raw", Write("MANY.DAT", records)});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, expected);
}

TEST_P(RecordsTest, EmptyFilesAndUnreadableFiles) {
  const RunResult empty = RunKl7({"records", Write("EMPTY.DAT", {})});
  EXPECT_EQ(empty.exitStatus, 0);
  EXPECT_EQ(empty.out, "");
  EXPECT_EQ(empty.err, "");

  m_dir.WriteBytes("TEXT.DAT", std::string(1000, 'x'));
  const RunResult text = RunKl7({"records", m_dir.Path() + "/TEXT.DAT"});
  EXPECT_EQ(text.exitStatus, 1);
  EXPECT_EQ(text.out, "");
  EXPECT_EQ(text.err,
            "kl7: " + m_dir.Path() +
                "/TEXT.DAT: not a record file this reader reads: no record-file signature "
                "at the start of the file (status 30)\n");

  const RunResult missing = RunKl7({"records", m_dir.Path() + "/NONE.DAT"});
  EXPECT_EQ(missing.exitStatus, 1);
  EXPECT_EQ(missing.err, "kl7: " + m_dir.Path() + "/NONE.DAT: file not found (status 12)\n");
}

// A record whose variable part is damaged is reported with the record manager's reason, and the
// walk goes on.
TEST_P(RecordsTest, DamagedVariablePartNamesItsCheck) {
  std::vector<std::vector<std::byte>> records;
  for (int key = 1; key <= 3; ++key) {
    std::vector<std::byte> record = Record(key, "v");
    record.resize(record.size() + 30, std::byte{'x'});
    records.push_back(std::move(record));
  }
  writer::FileSpec spec = writer::LibrarySpec(GetParam(), 512, 20, 16, std::move(records));
  spec.fileFlags = writer::file_flag::kVariableLength;
  writer::BuiltFile built = writer::Build(spec);
  // Record 2's variable-part pointer, after its fixed part, names a page far beyond the file.
  const std::size_t pointer =
      built.layout.recordSlots.at(1) + (GetParam() == writer::Format::kV6 ? 2 : 0) + 20;
  const std::byte damaged[] = {std::byte{0x7F}, std::byte{0xFF}, std::byte{0xFF}, std::byte{0}};
  for (std::size_t i = 0; i < 4; ++i)
    built.bytes.at(pointer + i) = damaged[i];
  const std::string path = m_dir.Path() + "/VAR.DAT";
  writer::WriteFile(path, built.bytes);
  const RunResult result = RunKl7({"records", path});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.err, "kl7: " + path +
                            ": record 2: variable part of a record damaged: pointer 0xFFFF7F "
                            "names no variable page (status 54)\n");
  EXPECT_NE(result.out.find("record 3 (50 bytes)"), std::string::npos) << result.out;
}

// Key 0 of a type no source settles the order of (GUID): the records in file order, one line on
// stderr, exit status 0.
TEST_P(RecordsTest, UnorderableKey0GivesFileOrderAndOneLine) {
  writer::FileSpec spec = writer::LibrarySpec(GetParam(), 512, 20, 16,
                                              {Record(3, "c"), Record(1, "a"), Record(2, "b")});
  spec.keys = {{{{0, 16, 27, writer::key_flag::kExtendedType}}}};
  const std::string path = m_dir.Path() + "/GUID.DAT";
  writer::WriteFile(path, writer::Build(spec).bytes);
  const RunResult result = RunKl7({"records", "--raw", path});
  EXPECT_EQ(result.exitStatus, 0);
  std::string expected;
  for (const auto& record : {Record(3, "c"), Record(1, "a"), Record(2, "b")})
    expected.append(reinterpret_cast<const char*>(record.data()), record.size());
  EXPECT_EQ(result.out, expected);
  EXPECT_EQ(result.err,
            "kl7: " + path +
                ": key 0 cannot be ordered (key 0: segment 1 has type 27 of length 16, which "
                "cannot be ordered); the records follow in file order\n");
}

TEST_P(RecordsTest, VerifyListsWhereIndexAndRecordsDisagree) {
  const std::vector<std::vector<std::byte>> records = {Record(5, "e"), Record(1, "a"),
                                                       Record(3, "c")};
  const writer::FileSpec spec = writer::LibrarySpec(GetParam(), 512, 20, 16, records);
  writer::BuiltFile built = writer::Build(spec);
  const std::string clean = m_dir.Path() + "/CLEAN.DAT";
  writer::WriteFile(clean, built.bytes);
  // Record 1's key changed behind the index: the index's first entry (key 1) names it.
  built.bytes.at(built.layout.recordSlots.at(1) + (GetParam() == writer::Format::kV6 ? 2 : 0) +
                 16) = std::byte{9};
  const std::string damaged = m_dir.Path() + "/DAMAGED.DAT";
  writer::WriteFile(damaged, built.bytes);

  const RunResult ok = RunKl7({"verify", clean, clean});
  EXPECT_EQ(ok.exitStatus, 0);
  EXPECT_EQ(ok.out, "");
  EXPECT_EQ(ok.err, "");
  const RunResult found = RunKl7({"verify", damaged, clean, m_dir.Path() + "/NONE.DAT"});
  EXPECT_EQ(found.exitStatus, 1);
  const std::string page = std::to_string(built.layout.indexPages.at(0));
  EXPECT_EQ(
      found.out.substr(0, found.out.find('\n') + 1),
      damaged + "\tkey 0\tpage " + page +
          "\tentry 0\tthe entry's key bytes differ from those of record at " +
          [&] {
            char text[16];
            std::snprintf(text, sizeof text, "0x%X", built.layout.recordAddresses.at(1));
            return std::string(text);
          }() +
          "\n");
  EXPECT_EQ(found.err, "kl7: " + m_dir.Path() + "/NONE.DAT: file not found (status 12)\n");
  EXPECT_EQ(RunKl7({"verify"}).exitStatus, 2);
}

}  // namespace
}  // namespace cli::testing
