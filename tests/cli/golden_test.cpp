// Golden outputs of every verb and format on a writer-built utils directory, and the proof that
// dump prints exactly what the viewer's cache holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "btrieve/writer/writer.h"
#include "golden_libraries.h"
#include "libfile/record_manager.h"
#include "libraries/library_cache.h"
#include "text/codepage.h"

namespace cli::testing {
namespace {

class GoldenTest : public ::testing::Test {
 protected:
  // Runs kl7 and expects success with nothing on stderr; "{DIR}" in `arguments` is the directory.
  std::string Ok(std::vector<std::string> arguments) {
    for (std::string& argument : arguments)
      argument = ReplaceAll(argument, "{DIR}", m_dir.Path());
    const RunResult result = RunKl7(arguments);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err, "");
    return ReplaceAll(result.out, m_dir.Path(), "{DIR}");
  }

  GoldenLibraries m_dir;
};

std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find('\n') + 1);
}

// The rows of kl7 info for one file, in text format.
std::string InfoRows(const std::string& file,
                     const std::vector<std::pair<std::string, std::string>>& properties) {
  std::string rows;
  for (const auto& [property, value] : properties)
    rows += file + "\t" + property + "\t" + value + "\n";
  return rows;
}

// Library 1 as dump shows it, in UTF-8, before any escaping.
const std::vector<std::string> kLibrary1 = {
    "Rot",       "Grün",        "Weiß € 5",         "„Zitat“ – Ende",
    "Tab\there", "Back\\slash", "Komma, \"Zitat\"", "Zeile\r\nzwei"};

struct FormatCase {
  std::vector<std::string> options;
  std::string expected;
};

TEST_F(GoldenTest, DumpInEveryFormat) {
  const std::vector<FormatCase> cases = {
      {{},
       "1\tRot\n2\tGrün\n3\tWeiß € 5\n4\t„Zitat“ – Ende\n5\tTab\\there\n6\tBack\\\\slash\n"
       "7\tKomma, \"Zitat\"\n8\tZeile\\r\\nzwei\n"},
      {{"--format", "tsv"},
       "entry\ttext\n1\tRot\n2\tGrün\n3\tWeiß € 5\n4\t„Zitat“ – Ende\n5\tTab\\there\n"
       "6\tBack\\\\slash\n7\tKomma, \"Zitat\"\n8\tZeile\\r\\nzwei\n"},
      {{"--format=tsv", "--no-header"},
       "1\tRot\n2\tGrün\n3\tWeiß € 5\n4\t„Zitat“ – Ende\n5\tTab\\there\n6\tBack\\\\slash\n"
       "7\tKomma, \"Zitat\"\n8\tZeile\\r\\nzwei\n"},
      {{"--format", "csv"},
       "entry,text\r\n1,Rot\r\n2,Grün\r\n3,Weiß € 5\r\n4,„Zitat“ – Ende\r\n5,Tab\there\r\n"
       "6,Back\\slash\r\n7,\"Komma, \"\"Zitat\"\"\"\r\n8,\"Zeile\r\nzwei\"\r\n"},
      {{"--format", "csv", "--no-header"},
       "1,Rot\r\n2,Grün\r\n3,Weiß € 5\r\n4,„Zitat“ – Ende\r\n5,Tab\there\r\n6,Back\\slash\r\n"
       "7,\"Komma, \"\"Zitat\"\"\"\r\n8,\"Zeile\r\nzwei\"\r\n"},
      {{"--format", "json"},
       "[\n{\"entry\":1,\"text\":\"Rot\"},\n{\"entry\":2,\"text\":\"Grün\"},\n"
       "{\"entry\":3,\"text\":\"Weiß € 5\"},\n{\"entry\":4,\"text\":\"„Zitat“ – Ende\"},\n"
       "{\"entry\":5,\"text\":\"Tab\\there\"},\n{\"entry\":6,\"text\":\"Back\\\\slash\"},\n"
       "{\"entry\":7,\"text\":\"Komma, \\\"Zitat\\\"\"},\n"
       "{\"entry\":8,\"text\":\"Zeile\\r\\nzwei\"}\n]\n"},
      {{"--format", "jsonl"},
       "{\"entry\":1,\"text\":\"Rot\"}\n{\"entry\":2,\"text\":\"Grün\"}\n"
       "{\"entry\":3,\"text\":\"Weiß € 5\"}\n{\"entry\":4,\"text\":\"„Zitat“ – Ende\"}\n"
       "{\"entry\":5,\"text\":\"Tab\\there\"}\n{\"entry\":6,\"text\":\"Back\\\\slash\"}\n"
       "{\"entry\":7,\"text\":\"Komma, \\\"Zitat\\\"\"}\n"
       "{\"entry\":8,\"text\":\"Zeile\\r\\nzwei\"}\n"},
      {{"--encoding", "cp1252"},
       "1\tRot\n2\tGr\xFCn\n3\tWei\xDF \x80 5\n4\t\x84Zitat\x93 \x96 Ende\n5\tTab\\there\n"
       "6\tBack\\\\slash\n7\tKomma, \"Zitat\"\n8\tZeile\\r\\nzwei\n"},
      {{"--format", "csv", "--encoding", "windows-1252", "--no-header"},
       "1,Rot\r\n2,Gr\xFCn\r\n3,Wei\xDF \x80 5\r\n4,\x84Zitat\x93 \x96 Ende\r\n5,Tab\there\r\n"
       "6,Back\\slash\r\n7,\"Komma, \"\"Zitat\"\"\"\r\n8,\"Zeile\r\nzwei\"\r\n"},
  };
  for (const FormatCase& c : cases) {
    std::vector<std::string> arguments = {"dump", "{DIR}", "1"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    EXPECT_EQ(Ok(arguments), c.expected) << ::testing::PrintToString(c.options);
  }
}

TEST_F(GoldenTest, DumpResolvesAndMarksAsTheViewerDoes) {
  const std::string resolved =
      "1\tStahl\n2\tLIB[1,2] ---> Grün\n3\t-###LIB[1,99]###-\n4\tLIB[9,1] ---> ?????\n"
      "5\t-######-\n6\tLIB[0,3] Name ---> Maße €\n7\tÄRGER\n";
  EXPECT_EQ(Ok({"dump", "{DIR}", "2"}), resolved);
  // The file form names the same library.
  EXPECT_EQ(Ok({"dump", "{DIR}/KL702.DAT"}), resolved);
  EXPECT_EQ(Ok({"dump", "--no-resolve", "{DIR}/KL702.DAT"}),
            "1\tStahl\n2\tLIB[1,2]\n3\tLIB[1,99]\n4\tLIB[9,1]\n5\t-######-\n6\tLIB[0,3] Name\n"
            "7\tÄRGER\n");
  // The catalogue is library 0, the default; its heading at position 0 is never printed.
  EXPECT_EQ(Ok({"dump", "{DIR}"}), "1\tFarben\n2\tWerkstöffe\n3\tMaße €\n4\tLeer\n");
  // A text that fills the older layout's entry to its last byte.
  EXPECT_EQ(Ok({"dump", "{DIR}", "3"}), "1\t" + std::string(27, 'x') + "yz\n2\tStraße\n");
}

TEST_F(GoldenTest, ExportNamesEveryRowsLibrary) {
  const std::string out = Ok({"export", "{DIR}", "--format", "tsv"});
  EXPECT_EQ(out,
            "library\tname\tentry\ttext\n"
            "0\tBibliotheksnamen\t1\tFarben\n0\tBibliotheksnamen\t2\tWerkstöffe\n"
            "0\tBibliotheksnamen\t3\tMaße €\n0\tBibliotheksnamen\t4\tLeer\n"
            "1\tFarben\t1\tRot\n1\tFarben\t2\tGrün\n1\tFarben\t3\tWeiß € 5\n"
            "1\tFarben\t4\t„Zitat“ – Ende\n1\tFarben\t5\tTab\\there\n1\tFarben\t6\tBack\\\\slash\n"
            "1\tFarben\t7\tKomma, \"Zitat\"\n1\tFarben\t8\tZeile\\r\\nzwei\n"
            "2\tWerkstöffe\t1\tStahl\n2\tWerkstöffe\t2\tLIB[1,2] ---> Grün\n"
            "2\tWerkstöffe\t3\t-###LIB[1,99]###-\n2\tWerkstöffe\t4\tLIB[9,1] ---> ?????\n"
            "2\tWerkstöffe\t5\t-######-\n2\tWerkstöffe\t6\tLIB[0,3] Name ---> Maße €\n"
            "2\tWerkstöffe\t7\tÄRGER\n"
            "3\tMaße €\t1\t" +
                std::string(27, 'x') + "yz\n3\tMaße €\t2\tStraße\n");
  const std::string raw = Ok({"export", "{DIR}", "--format", "csv", "--no-resolve"});
  EXPECT_EQ(raw.rfind("library,name,entry,text\r\n0,Bibliotheksnamen,1,Farben\r\n", 0), 0u);
  EXPECT_NE(raw.find("\r\n2,Werkstöffe,2,\"LIB[1,2]\"\r\n"), std::string::npos);
}

TEST_F(GoldenTest, ListShowsLayoutCountAndName) {
  EXPECT_EQ(Ok({"list", "{DIR}"}),
            "0\t00\tKL700.DAT\tcurrent\t4\tBibliotheksnamen\t0\t\n"
            "1\t01\tKL701.DAT\tcurrent\t8\tFarben\t0\t\n"
            "2\t02\tKL702.DAT\t16Bit\t7\tWerkstöffe\t0\t\n"
            "3\t03\tKL703.DAT\t16Bit\t2\tMaße €\t0\t\n");
  EXPECT_EQ(
      FirstLine(Ok({"list", "{DIR}", "--format", "jsonl"})),
      "{\"library\":0,\"hex\":\"00\",\"file\":\"KL700.DAT\",\"layout\":\"current\",\"entries\":4,"
      "\"name\":\"Bibliotheksnamen\",\"status\":0,\"message\":\"\"}\n");
}

TEST_F(GoldenTest, FindFoldsCaseAcrossUnicode) {
  struct FindCase {
    std::string needle;
    std::string expected;
  };
  const std::vector<FindCase> cases = {
      {"grün", "1\tFarben\t2\tGrün\n2\tWerkstöffe\t2\tLIB[1,2] ---> Grün\n"},
      {"GRÜN", "1\tFarben\t2\tGrün\n2\tWerkstöffe\t2\tLIB[1,2] ---> Grün\n"},
      {"ärger", "2\tWerkstöffe\t7\tÄRGER\n"},
      {"STRASSE", "3\tMaße €\t2\tStraße\n"},
      {"MASSE €", "0\tBibliotheksnamen\t3\tMaße €\n2\tWerkstöffe\t6\tLIB[0,3] Name ---> Maße €\n"},
      {"„zitat“ –", "1\tFarben\t4\t„Zitat“ – Ende\n"},
      {"?????", "2\tWerkstöffe\t4\tLIB[9,1] ---> ?????\n"},
  };
  for (const FindCase& c : cases) {
    EXPECT_EQ(Ok({"find", c.needle, "{DIR}"}), c.expected) << c.needle;
  }
}

TEST_F(GoldenTest, CheckReportsEveryMarkedEntry) {
  const RunResult result = RunKl7({"check", m_dir.Path()});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(ReplaceAll(result.out, m_dir.Path(), "{DIR}"),
            "{DIR}/KL702.DAT\t2\t3\treference beyond the last entry of its library\t"
            "-###LIB[1,99]###-\n"
            "{DIR}/KL702.DAT\t2\t4\treference into a library that cannot be read\t"
            "LIB[9,1] ---> ?????\n"
            "{DIR}/KL702.DAT\t2\t5\tempty or missing entry\t-######-\n"
            "{DIR}/KL704.DAT\t4\t4\tthe catalogue names this library, but its file is missing\t"
            "Leer\n");
  // Files without problems pass silently.
  EXPECT_EQ(Ok({"check", "{DIR}/KL701.DAT", "{DIR}/KL703.DAT"}), "");
}

TEST_F(GoldenTest, InfoGivesRecordFileAndLibraryFacts) {
  EXPECT_EQ(Ok({"info", "{DIR}/KL701.DAT", "{DIR}/KL702.DAT"}),
            InfoRows("{DIR}/KL701.DAT",
                     {{"format", "pre-6.0 (version 4)"},
                      {"version-word", "0x0004"},
                      {"page-size", "512"},
                      {"record-length", "64"},
                      {"physical-record-length", "64"},
                      {"records", "8"},
                      {"pages", "4"},
                      {"keys", "1"},
                      {"key-0-segment-1",
                       "position 49, length 4, type INTEGER, flags 0x0100 (extended type)"},
                      {"file-flags", "0x0000"},
                      {"layout", "current"},
                      {"data-length", "48"},
                      {"entries", "8"}}) +
                InfoRows("{DIR}/KL702.DAT",
                         {{"format", "6.0"},
                          {"version-word", "0x0600"},
                          {"page-size", "512"},
                          {"record-length", "50"},
                          {"physical-record-length", "52"},
                          {"records", "47"},
                          {"pages", "13"},
                          {"keys", "1"},
                          {"key-0-segment-1",
                           "position 41, length 4, type INTEGER, flags 0x0100 (extended type)"},
                          {"file-flags", "0x0000"},
                          {"layout", "16Bit"},
                          {"entry-length", "40"},
                          {"header-records", "40"},
                          {"records-per-entry", "1"},
                          {"entries", "7"}}));
  // A record file that is no library: several keys, a segmented key, named flags.
  btrieve::writer::FileSpec spec;
  spec.format = btrieve::writer::Format::kV6;
  spec.pageSize = 1024;
  spec.recordLength = 24;
  spec.fileFlags = 0x0044;
  namespace key_flag = btrieve::writer::key_flag;
  namespace key_type = btrieve::writer::key_type;
  spec.keys = {
      {{{0, 4, key_type::kUnsignedBinary, key_flag::kExtendedType, 0}}},
      {{{4, 8, key_type::kString, key_flag::kExtendedType | key_flag::kDuplicates, 0},
        {12, 6, key_type::kZString,
         key_flag::kExtendedType | key_flag::kDescending | key_flag::kDuplicates, 0}}},
  };
  for (std::uint8_t i = 0; i < 3; ++i) {
    std::vector<std::byte> record(24, std::byte{0});
    record[0] = std::byte{i};
    record[4] = std::byte{'A'};
    spec.records.push_back(record);
  }
  btrieve::writer::WriteFile(m_dir.Path() + "/OTHER.DAT", btrieve::writer::Build(spec).bytes);
  EXPECT_EQ(Ok({"info", "{DIR}/OTHER.DAT"}),
            InfoRows("{DIR}/OTHER.DAT",
                     {{"format", "6.0"},
                      {"version-word", "0x0600"},
                      {"page-size", "1024"},
                      {"record-length", "24"},
                      {"physical-record-length", "34"},
                      {"records", "3"},
                      {"pages", "7"},
                      {"keys", "2"},
                      {"key-0-segment-1",
                       "position 1, length 4, type UNSIGNED BINARY, flags 0x0100 (extended type)"},
                      {"key-1-segment-1",
                       "position 5, length 8, type STRING, flags 0x0111 "
                       "(duplicates, segmented, extended type)"},
                      {"key-1-segment-2",
                       "position 13, length 6, type ZSTRING, flags 0x0141 "
                       "(duplicates, descending, extended type)"},
                      {"file-flags", "0x0044 (free space 10%, page preallocation)"},
                      {"layout",
                       "none: the loader cannot read it (16Bit layout: data buffer too "
                       "short, status 22)"}}));
}

// A pre-6.0 file whose version is stored negated (00 FC, as real version-4 files have it) reads as
// version 4; info shows the word as stored, and each key type by name.
TEST_F(GoldenTest, InfoShowsTheStoredVersionWord) {
  btrieve::writer::FileSpec spec =
      btrieve::writer::LibrarySpec(btrieve::writer::Format::kPre6, 512, 24, 0);
  spec.version = 0xFC;
  spec.keys = {{{{0, 4, 3, btrieve::writer::key_flag::kExtendedType, 0}}},
               {{{4, 16, 27, btrieve::writer::key_flag::kExtendedType, 0}}}};
  btrieve::writer::WriteFile(m_dir.Path() + "/NEG.DAT", btrieve::writer::Build(spec).bytes);
  const std::string out = Ok({"info", "{DIR}/NEG.DAT"});
  EXPECT_NE(out.find("\tformat\tpre-6.0 (version 4)\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\tversion-word\t0x00FC\n"), std::string::npos) << out;
  EXPECT_NE(out.find("type DATE,"), std::string::npos) << out;
  EXPECT_NE(out.find("type GUID,"), std::string::npos) << out;
}

// Every library of the directory: dump prints position 1 to the end of the list that the viewer's
// cache holds after a resolving load, text for text.
TEST_F(GoldenTest, DumpPrintsExactlyWhatTheCacheHolds) {
  for (std::uint8_t number = 0; number <= 3; ++number) {
    libfile::NativeRecordManager manager;
    core::LibraryCache cache(manager, m_dir.Path() + "/");
    bool is16Bit = false;
    ASSERT_TRUE(cache.LoadLibraryList(number, true, true, is16Bit));
    const core::tcodelist& list = *cache.LibraryLists(number);

    const std::string json = Ok({"dump", "{DIR}", std::to_string(number), "--format", "json"});
    const nlohmann::json rows = nlohmann::json::parse(json, nullptr, false);
    ASSERT_TRUE(rows.is_array()) << json;
    ASSERT_EQ(rows.size() + 1, list.Count());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(rows[i].value("entry", std::size_t{0}), i + 1);
      const std::optional<std::string> text = text::Utf8ToCp1252(rows[i].value("text", ""));
      ASSERT_TRUE(text.has_value());
      EXPECT_EQ(*text, list[i + 1]);
    }
  }
}

TEST_F(GoldenTest, JsonAndJsonlParse) {
  for (const std::string verb : {"export", "list"}) {
    const std::string json = Ok({verb, "{DIR}", "--format", "json"});
    const nlohmann::json document = nlohmann::json::parse(json, nullptr, false);
    EXPECT_TRUE(document.is_array()) << verb << ": " << json;

    std::istringstream lines(Ok({verb, "{DIR}", "--format", "jsonl"}));
    std::string line;
    std::size_t count = 0;
    while (std::getline(lines, line)) {
      const nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
      EXPECT_TRUE(object.is_object()) << line;
      if (document.is_array() && count < document.size()) {
        EXPECT_EQ(object, document[count]);
      }
      ++count;
    }
    EXPECT_EQ(count, document.size()) << verb;
  }
  // Nothing found: an empty array, and exit status 1.
  const RunResult nothing = RunKl7({"find", "nirgends", m_dir.Path(), "--format", "json"});
  EXPECT_EQ(nothing.exitStatus, 1);
  EXPECT_EQ(nothing.out, "[]\n");
}

// A genuine file from another application: its key segments as the format notes give them.
TEST(GenuineFile, InfoListsEveryKeySegment) {
  const std::string path = KL7_FIXTURES_DIR "/MBBSEMU.DAT";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "the genuine sample files are not present";
  const RunResult result = RunKl7({"info", path});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out,
            InfoRows(path, {{"format", "pre-6.0 (version 4)"},
                            {"version-word", "0x0004"},
                            {"page-size", "512"},
                            {"record-length", "74"},
                            {"physical-record-length", "90"},
                            {"records", "4"},
                            {"pages", "6"},
                            {"keys", "4"},
                            {"key-0-segment-1",
                             "position 3, length 32, type ZSTRING, flags 0x0101 "
                             "(duplicates, extended type)"},
                            {"key-1-segment-1",
                             "position 35, length 4, type INTEGER, flags 0x0102 "
                             "(modifiable, extended type)"},
                            {"key-2-segment-1",
                             "position 39, length 32, type ZSTRING, flags 0x0103 "
                             "(duplicates, modifiable, extended type)"},
                            {"key-3-segment-1",
                             "position 71, length 4, type AUTOINCREMENT, flags 0x0100 "
                             "(extended type)"},
                            {"file-flags", "0x0000"},
                            // Key 0 is no 4-byte number: the loader's Get Last cannot take it.
                            {"layout",
                             "none: the loader cannot read it (current layout: key buffer too "
                             "short, status 21)"}}));
}

// A library whose highest key is 65,537: the viewer's entry count wraps to 1.
TEST(WrappingCount, CheckInfoAndDumpAgreeWithTheViewer) {
  TempDirectory dir;
  std::vector<std::vector<std::byte>> records;
  for (const std::int32_t key : {1, 2, 65537}) {
    std::vector<std::byte> record(80, std::byte{0});
    record[1] = std::byte{'A'};
    for (int i = 0; i < 4; ++i)
      record[64 + static_cast<std::size_t>(i)] = static_cast<std::byte>((key >> (8 * i)) & 0xFF);
    records.push_back(record);
  }
  const std::string path = dir.Path() + "/KL705.DAT";
  btrieve::writer::WriteFile(
      path, btrieve::writer::Build(
                btrieve::writer::LibrarySpec(btrieve::writer::Format::kV6, 512, 80, 64, records))
                .bytes);

  const RunResult check = RunKl7({"check", path});
  EXPECT_EQ(check.exitStatus, 1);
  EXPECT_EQ(
      check.out,
      path + "\t5\t\thighest key 65537 exceeds 65,535: the viewer's entry count wraps to 1\t\n");
  const RunResult dump = RunKl7({"dump", path});
  EXPECT_EQ(dump.exitStatus, 0);
  EXPECT_EQ(dump.out, "1\tA\n");
  const RunResult info = RunKl7({"info", path});
  EXPECT_NE(info.out.find(path + "\tentries\t1\n" + path + "\tentries-in-file\t65537\n"),
            std::string::npos);
}

}  // namespace
}  // namespace cli::testing
