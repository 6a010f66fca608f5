// Exit statuses and messages: usage errors (2, one line on stderr, nothing on stdout), files that
// cannot be read (1, "kl7: PATH: message (status N)", the rest still printed), and --help.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "cli_fixture.h"
#include "libfile/writer/library_writer.h"
#include "support/allocation_probe.h"

namespace cli::testing {
namespace {

class ErrorsTest : public ::testing::Test {
 protected:
  ErrorsTest() {
    m_dir.WriteCurrent(0, {"Eins", "Zwei", "Drei", "Vier"});
    m_dir.WriteCurrent(1, {"Rot", "LIB[2,1]"});
    // A damaged library: a genuine file cut short.
    LibraryContents contents;
    contents.texts = std::vector<std::string>(40, "Text");
    const std::vector<std::byte> bytes = libfile::writer::BuildLibraryFile(contents);
    m_dir.WriteBytes("KL702.DAT",
                     std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size() / 2));
    // Not a record file at all.
    m_dir.WriteBytes("KL703.DAT", std::string(600, 'a'));
    m_dir.WriteBytes("notes.txt", "Notizen");
  }

  RunResult Run(std::vector<std::string> arguments) {
    return RunKl7In(m_dir, std::move(arguments));
  }

  TempDirectory m_dir;
};

TEST_F(ErrorsTest, UsageErrorsGiveOneLineAndStatusTwo) {
  struct UsageCase {
    std::vector<std::string> arguments;
    std::string message;
  };
  const std::vector<UsageCase> cases = {
      {{}, "kl7: no verb given (see kl7 --help)\n"},
      {{"frobnicate", "x"}, "kl7: unknown verb 'frobnicate' (see kl7 --help)\n"},
      {{"\x1b]0;title\x07\xC2\x9d", "x"},
       "kl7: unknown verb '\\x1b]0;title\\x07\\u009d' (see kl7 --help)\n"},
      {{"dump", "{DIR}", "--bogus"}, "kl7: unknown option '--bogus' (see kl7 --help)\n"},
      {{"dump", "{DIR}", "--format", "xml"},
       "kl7: unknown format 'xml' (text, tsv, csv, json, jsonl, table or html) (see kl7 "
       "--help)\n"},
      {{"dump", "{DIR}", "--format"}, "kl7: option '--format' needs a value (see kl7 --help)\n"},
      {{"dump", "{DIR}", "--raw=1"}, "kl7: option '--raw' takes no value (see kl7 --help)\n"},
      {{"dump", "{DIR}", "--encoding", "latin9"},
       "kl7: unknown encoding 'latin9' (utf-8 or cp1252) (see kl7 --help)\n"},
      {{"dump", "{DIR}", "--format", "json", "--encoding", "cp1252"},
       "kl7: json and jsonl are always UTF-8: --encoding cp1252 does not apply (see kl7 --help)\n"},
      {{"export", "{DIR}", "--format=jsonl", "--encoding=cp1252"},
       "kl7: json and jsonl are always UTF-8: --encoding cp1252 does not apply (see kl7 --help)\n"},
      {{"dump"}, "kl7: dump: expected TARGET [N]... (see kl7 --help)\n"},
      {{"find", "{DIR}"}, "kl7: find: expected TEXT TARGET (see kl7 --help)\n"},
      {{"list", "{DIR}", "{DIR}"}, "kl7: list: expected DIR (see kl7 --help)\n"},
      {{"info"}, "kl7: info: expected FILE... (see kl7 --help)\n"},
      {{"dump", "{DIR}", "--raw"}, "kl7: dump: --raw does not apply here (see kl7 --help)\n"},
      {{"find", "x", "{DIR}", "--no-resolve"},
       "kl7: find: --no-resolve does not apply here (see kl7 --help)\n"},
      {{"records", "{DIR}/KL701.DAT", "--format", "csv"},
       "kl7: records: --format, --encoding and --no-header do not apply here (see kl7 --help)\n"},
      {{"dump", "{DIR}", "256"},
       "kl7: dump: library number '256' is not a number from 0 to 255 (26, 0x1A or $1A) (see kl7 "
       "--help)\n"},
      {{"dump", "{DIR}", "$100"},
       "kl7: dump: library number '$100' is not a number from 0 to 255 (26, 0x1A or $1A) (see kl7 "
       "--help)\n"},
      {{"dump", "{DIR}", "--", "-1"},
       "kl7: dump: library number '-1' is not a number from 0 to 255 (26, 0x1A or $1A) (see kl7 "
       "--help)\n"},
      {{"export", "{DIR}/notes.txt"},
       "kl7: export: '{DIR}/notes.txt' is neither a directory nor a KL7xx.DAT file (see kl7 "
       "--help)\n"},
      {{"dump", "{DIR}/KL701.DAT", "1"},
       "kl7: dump: a library number goes with a directory, not with a file (see kl7 --help)\n"},
  };
  for (const UsageCase& c : cases) {
    const RunResult result = Run(c.arguments);
    EXPECT_EQ(result.exitStatus, 2) << ::testing::PrintToString(c.arguments);
    EXPECT_EQ(result.err, c.message) << ::testing::PrintToString(c.arguments);
    EXPECT_EQ(result.out, "") << ::testing::PrintToString(c.arguments);
  }
}

TEST_F(ErrorsTest, HelpAndVersionGoToStdout) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--help"}, {"-h"}, {"help"}, {"--bogus-later", "--help"}}) {
    const RunResult result = Run(arguments);
    if (arguments[0] == "--bogus-later") {
      EXPECT_EQ(result.exitStatus, 2);  // an unknown option stops the parse before --help
      continue;
    }
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out.rfind("Usage: kl7 [OPTION]... VERB", 0), 0u);
    EXPECT_NE(result.out.find("Exit status:"), std::string::npos);
  }
  const RunResult version = Run({"--version"});
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(version.out.rfind("kl7 ", 0), 0u);
}

struct UnreadableCase {
  std::vector<std::string> arguments;
  std::string out;
  std::string err;
};

TEST_F(ErrorsTest, UnreadableFilesAreReportedAndTheRestPrinted) {
  const std::string damaged =
      "kl7: {DIR}/KL702.DAT: damaged file: page 2 of 6: logical page 3 is mapped to physical page "
      "6, beyond the file's 6 pages (status 2)\n";
  const std::string notBtrieve =
      "kl7: {DIR}/KL703.DAT: not a record file this reader reads: no record-file signature at the "
      "start of the file "
      "(status 30)\n";
  const std::string noFiles = "no library files (KL7xx.DAT) in this directory\n";
  std::filesystem::create_directory(m_dir.Path() + "/empty");
  const std::vector<UnreadableCase> cases = {
      {{"list", "{DIR}/missing"}, "", "kl7: {DIR}/missing: no such directory\n"},
      {{"list", "{DIR}/KL701.DAT"}, "", "kl7: {DIR}/KL701.DAT: not a directory\n"},
      {{"export", "{DIR}/missing"}, "", "kl7: {DIR}/missing: no such file or directory\n"},
      {{"find", "x", "{DIR}/missing"}, "", "kl7: {DIR}/missing: no such file or directory\n"},
      {{"info", "{DIR}"}, "", "kl7: {DIR}: is a directory, not a file\n"},
      {{"records", "{DIR}"}, "", "kl7: {DIR}: is a directory, not a file\n"},
      {{"list", "{DIR}/empty"}, "", "kl7: {DIR}/empty: " + noFiles},
      {{"dump", "{DIR}/empty", "$1A"}, "", "kl7: {DIR}/empty: " + noFiles},
      {{"export", "{DIR}/empty"}, "", "kl7: {DIR}/empty: " + noFiles},
      {{"find", "x", "{DIR}/empty"}, "", "kl7: {DIR}/empty: " + noFiles},
      {{"check", "{DIR}/empty"},
       "{DIR}/empty\t\t\t" + noFiles.substr(0, noFiles.size() - 1) + "\t\n",
       ""},
      {{"dump", "{DIR}/missing"}, "", "kl7: {DIR}/missing: no such file or directory\n"},
      {{"dump", "{DIR}/\x1b[2J\x7f"}, "", "kl7: {DIR}/\\x1b[2J\\x7f: no such file or directory\n"},
      {{"dump", "{DIR}", "2"}, "", damaged},
      {{"dump", "{DIR}/KL703.DAT"}, "", notBtrieve},
      {{"dump", "{DIR}", "9"}, "", "kl7: {DIR}/KL709.DAT: file not found (status 12)\n"},
      {{"dump", "{DIR}/KL709.DAT"}, "", "kl7: {DIR}/KL709.DAT: file not found (status 12)\n"},
      {{"info", "{DIR}/KL703.DAT", "{DIR}/KL701.DAT", "{DIR}/nothing"},
       "{DIR}/KL701.DAT\tformat\t6.0\n",
       notBtrieve + "kl7: {DIR}/nothing: file not found (status 12)\n"},
      {{"list", "{DIR}"},
       "0\t00\tKL700.DAT\tcurrent\t4\tBibliotheksnamen\t0\t\n"
       "1\t01\tKL701.DAT\tcurrent\t2\tEins\t0\t\n"
       "2\t02\tKL702.DAT\t\t\tZwei\t2\tdamaged file: page 2 of 6: logical page 3 is mapped to "
       "physical page 6, beyond the file's 6 pages\n"
       "3\t03\tKL703.DAT\t\t\tDrei\t30\tnot a record file this reader reads: no record-file "
       "signature at the start of the file\n",
       damaged + notBtrieve},
      {{"export", "{DIR}"},
       "0\tBibliotheksnamen\t1\tEins\n0\tBibliotheksnamen\t2\tZwei\n0\tBibliotheksnamen\t3\tDrei\n"
       "0\tBibliotheksnamen\t4\tVier\n1\tEins\t1\tRot\n1\tEins\t2\tLIB[2,1] ---> ?????\n",
       damaged + notBtrieve},
      {{"check", "{DIR}"},
       "{DIR}/KL701.DAT\t1\t2\treference into a library that cannot be read\tLIB[2,1] ---> ?????\n"
       "{DIR}/KL702.DAT\t2\t\tdoes not load: damaged file: page 2 of 6: logical page 3 is mapped "
       "to physical page 6, beyond the file's 6 pages (status 2)\t\n"
       "{DIR}/KL703.DAT\t3\t\tdoes not load: not a record file this reader reads: no "
       "record-file signature at the start of the file (status 30)\t\n"
       "{DIR}/KL704.DAT\t4\t4\tthe catalogue names this library, but its file is missing\tVier\n",
       damaged + notBtrieve},
      {{"check", "{DIR}/missing", "{DIR}/KL700.DAT"},
       "",
       "kl7: {DIR}/missing: no such file or directory\n"},
  };
  for (const UnreadableCase& c : cases) {
    const RunResult result = Run(c.arguments);
    // find says 2 for a library it could not read, as grep does.
    EXPECT_EQ(result.exitStatus, c.arguments[0] == "find" ? 2 : 1)
        << ::testing::PrintToString(c.arguments);
    if (c.arguments[0] == "info") {
      EXPECT_EQ(result.out.substr(0, c.out.size()), c.out);
    } else {
      EXPECT_EQ(result.out, c.out) << ::testing::PrintToString(c.arguments);
    }
    EXPECT_EQ(result.err, c.err) << ::testing::PrintToString(c.arguments);
  }
}

// Library numbers as the viewer reads them, a file as the target of every verb that reads
// libraries, and files of one library whose names differ only in letter case.
TEST_F(ErrorsTest, TargetsNumbersAndSpellings) {
  const std::string one = Run({"dump", "{DIR}/KL701.DAT"}).out;
  ASSERT_EQ(one, "1\tRot\n2\tLIB[2,1] ---> ?????\n");
  for (const std::string number : {"1", "0x01", "$1", "X1", "001"}) {
    const RunResult result = Run({"dump", "{DIR}", number});
    EXPECT_EQ(result.exitStatus, 0) << number;
    EXPECT_EQ(result.out, one) << number;
  }
  const RunResult found = Run({"find", "rot", "{DIR}/KL701.DAT"});
  EXPECT_EQ(found.exitStatus, 0);
  EXPECT_EQ(found.out, "1\tEins\t1\tRot\n");
  const RunResult exported = Run({"export", "{DIR}/KL701.DAT"});
  EXPECT_EQ(exported.exitStatus, 0);
  EXPECT_EQ(exported.out, "1\tEins\t1\tRot\n1\tEins\t2\tLIB[2,1] ---> ?????\n");

#if !defined(_WIN32)  // only a case-sensitive file system holds several spellings of one name
  m_dir.WriteBytes("kl701.dat", "");
  m_dir.WriteBytes("Kl701.DAT", "");
  const RunResult check = Run({"check", "{DIR}"});
  EXPECT_NE(
      check.out.find("{DIR}/KL701.DAT\t1\t\tfiles that differ only in letter case: KL701.DAT, "
                     "Kl701.DAT, kl701.dat; KL701.DAT is read\t\n"),
      std::string::npos)
      << check.out;
#endif
}

// Memory that runs out gives the usual line naming what was read, never an exception's name.
TEST_F(ErrorsTest, RunningOutOfMemoryGivesTheUsualLine) {
  for (const char* verb : {"info", "dump", "records"}) {
    kl7test::FailAllocationsAbove(1024);
    const RunResult result = Run({verb, "{DIR}/KL701.DAT"});
    kl7test::FailAllocationsAbove(SIZE_MAX);
    EXPECT_EQ(result.exitStatus, 1) << verb;
    EXPECT_TRUE(result.err.starts_with("kl7: {DIR}/KL701.DAT: ")) << verb << ": " << result.err;
    EXPECT_NE(result.err.find("not enough memory"), std::string::npos)
        << verb << ": " << result.err;
    EXPECT_EQ(result.err.find("alloc"), std::string::npos) << verb << ": " << result.err;
  }
}

}  // namespace
}  // namespace cli::testing
