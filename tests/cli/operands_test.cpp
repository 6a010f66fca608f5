// Each verb's exit statuses and the forms of its operands: libraries by number, range and
// catalogue name, several at once, find's matching modes, per-verb help and short options.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "golden_libraries.h"

namespace cli::testing {
namespace {

struct Case {
  std::vector<std::string> arguments;
  int exitStatus;
  std::string out;  // the whole output, or (with a leading "~") a part of it
  std::string err;  // a part of stderr; empty: nothing on stderr
};

class OperandsTest : public ::testing::Test {
 protected:
  void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      const RunResult result = RunKl7In(m_dir, c.arguments);
      const std::string what = ::testing::PrintToString(c.arguments);
      EXPECT_EQ(result.exitStatus, c.exitStatus) << what << "\n" << result.err;
      if (c.out.starts_with("~")) {
        EXPECT_NE(result.out.find(c.out.substr(1)), std::string::npos) << what << "\n"
                                                                       << result.out;
      } else {
        EXPECT_EQ(result.out, c.out) << what;
      }
      if (c.err.empty()) {
        EXPECT_EQ(result.err, "") << what;
      } else {
        EXPECT_NE(result.err.find(c.err), std::string::npos) << what << "\n" << result.err;
      }
    }
  }

  GoldenLibraries m_dir;
};

const std::string kGruen = "1\tFarben\t2\tGrün\n2\tWerkstöffe\t2\tLIB[1,2] ---> Grün\n";
const std::string kLibrary3 = "1\t" + std::string(27, 'x') + "yz\n2\tStraße\n";
const std::string kLibrary3Rows =
    "3\tMaße €\t1\t" + std::string(27, 'x') + "yz\n3\tMaße €\t2\tStraße\n";

TEST_F(OperandsTest, FindExitsAsGrepAndMatchesWholeTextsRegexesAndUmlauts) {
  m_dir.WriteBytes("notes.txt", "Notizen");
  Check({
      // A usage error prints nothing, not even json's bracket.
      {{"find", "-f", "json", "x", "{DIR}/notes.txt"}, 2, "", "is neither a directory"},
      {{"find", "grün", "{DIR}"}, 0, kGruen, ""},
      {{"find", "nirgends", "{DIR}"}, 1, "", ""},
      {{"find", "--exact", "ROT", "{DIR}"}, 0, "1\tFarben\t1\tRot\n", ""},
      {{"find", "--exact", "ro", "{DIR}"}, 1, "", ""},
      {{"find", "--exact", "STRASSE", "{DIR}"}, 0, "3\tMaße €\t2\tStraße\n", ""},
      {{"find", "--regex", "^st", "{DIR}"},
       0,
       "2\tWerkstöffe\t1\tStahl\n3\tMaße €\t2\tStraße\n",
       ""},
      {{"find", "--regex", "ä", "{DIR}"}, 0, "2\tWerkstöffe\t7\tÄRGER\n", ""},
      {{"find", "--regex", "--exact", "r.t", "{DIR}"}, 0, "1\tFarben\t1\tRot\n", ""},
      {{"find", "--regex", "(", "{DIR}"}, 2, "", "kl7: find: '(' is no regular expression"},
      {{"find", "--regex", "(a)\\1", "{DIR}"}, 2, "", "back-references are not supported"},
      {{"find", "--umlaut", "gruen", "{DIR}"}, 0, kGruen, ""},
      {{"find", "gruen", "{DIR}"}, 1, "", ""},
      {{"find", "--umlaut", "--regex", "x", "{DIR}"}, 2, "", "--umlaut does not apply to --regex"},
      {{"dump", "--exact", "{DIR}"}, 2, "", "are for find only"},
      {{"find", "x", "{DIR}/nowhere"}, 2, "", "no such file or directory"},
  });
  // A library that cannot be read: 2, whether or not others matched.
  m_dir.WriteBytes("KL705.DAT", std::string(600, 'a'));
  Check({
      {{"find", "grün", "{DIR}"}, 2, kGruen, "kl7: {DIR}/KL705.DAT: "},
      {{"find", "nirgends", "{DIR}"}, 2, "", "kl7: {DIR}/KL705.DAT: "},
  });
}

TEST_F(OperandsTest, DumpTakesNumbersRangesAndNamesAndSeveralGiveExportsRows) {
  Check({
      {{"dump", "{DIR}", "3"}, 0, kLibrary3, ""},
      {{"dump", "{DIR}", "$3"}, 0, kLibrary3, ""},
      {{"dump", "{DIR}", "MASSE €"}, 0, kLibrary3, ""},
      {{"dump", "{DIR}", "werkstÖffe"}, 0, "~1\tStahl\n", ""},
      {{"dump", "{DIR}", "3-3"}, 0, kLibrary3Rows, ""},
      {{"dump", "{DIR}", "Maße €", "3"}, 0, kLibrary3Rows, ""},
      {{"dump", "{DIR}", "farben", "0x3"},
       0,
       "~1\tFarben\t8\tZeile\\r\\nzwei\n" + kLibrary3Rows,
       ""},
      {{"dump", "{DIR}", "3-5"}, 1, kLibrary3Rows, "kl7: {DIR}/KL704.DAT: file not found"},
      {{"dump", "{DIR}", "Leer"}, 1, "", "kl7: {DIR}/KL704.DAT: file not found"},
      {{"dump", "{DIR}", "Farb"}, 2, "", "'Farb' is no library number from 0 to 255"},
      {{"dump", "{DIR}", "Farb"}, 2, "", "did you mean 1 Farben?"},
      {{"dump", "{DIR}", "5-3"}, 2, "", "library range '5-3' is not a rising range"},
      {{"dump", "{DIR}", "3-256"}, 2, "", "library range '3-256'"},
      {{"dump", "{DIR}/KL701.DAT", "Farben"}, 2, "", "a library number goes with a directory"},
  });
}

TEST_F(OperandsTest, ExportWritesOnlyTheLibrariesNamed) {
  Check({
      {{"export", "{DIR}", "3"}, 0, kLibrary3Rows, ""},
      {{"export", "{DIR}", "Maße €", "2-3", "3"}, 0, "~" + kLibrary3Rows, ""},
      {{"export", "{DIR}", "3", "Werkstöffe"}, 0, "~Straße\n2\tWerkstöffe\t1\tStahl\n", ""},
      {{"export", "{DIR}", "4"}, 1, "", "kl7: {DIR}/KL704.DAT: file not found"},
      {{"export", "{DIR}", "Niemand"}, 2, "", "'Niemand' is no library number"},
      // A usage error prints nothing, not even a header.
      {{"export", "-f", "csv", "{DIR}", "Niemand"}, 2, "", "'Niemand' is no library number"},
      {{"dump", "-f", "json", "{DIR}", "1", "9-2"}, 2, "", "library range '9-2'"},
      {{"export", "-f", "html", "{DIR}", "1", "Far"}, 2, "", "did you mean 1 Farben?"},
  });
}

TEST_F(OperandsTest, RefsTakesANameForItsLibrary) {
  const std::string intoFarben = RunKl7In(m_dir, {"refs", "{DIR}", "1"}).out;
  ASSERT_NE(intoFarben, "");
  Check({
      {{"refs", "{DIR}", "FARBEN"}, 0, intoFarben, ""},
      {{"refs", "{DIR}", "Farben", "2"}, 0, "~LIB[1,2]", ""},
      {{"refs", "{DIR}", "1-2"}, 2, "", "'1-2' is no library number"},
  });
  // A name that several catalogue lines hold is no library of its own.
  TempDirectory twice;
  twice.WriteCurrent(0, {"Rot", "ROT"});
  twice.WriteCurrent(1, {"LIB[2,1]"});
  twice.WriteCurrent(2, {"a"});
  const RunResult ambiguous = RunKl7In(twice, {"refs", "{DIR}", "rot"});
  EXPECT_EQ(ambiguous.exitStatus, 2);
  EXPECT_EQ(ambiguous.err,
            "kl7: refs: 'rot' names several libraries: 1 Rot, 2 ROT; give the number (see kl7 "
            "--help)\n");
}

TEST_F(OperandsTest, HelpPerVerbAndShortOptionsBeforeOrAfterTheVerb) {
  Check({
      {{"help", "dump"}, 0, "~Usage: kl7 dump TARGET [N]...\n", ""},
      {{"find", "--help"}, 0, "~Exit status (as grep's): 0 something matched", ""},
      {{"-h", "refs"}, 0, "~Usage: kl7 refs TARGET N [M]\n", ""},
      {{"help"}, 0, "~Verbs:\n", ""},
      {{"help", "frobnicate"}, 2, "", "kl7: unknown verb 'frobnicate'"},
      {{"help", "dump", "find"}, 2, "", "kl7: help: expected [VERB]"},
      {{"-f", "csv", "dump", "{DIR}", "3"},
       0,
       "entry,text\r\n1," + std::string(27, 'x') + "yz\r\n2,Straße\r\n",
       ""},
      {{"dump", "-fjsonl", "{DIR}", "3", "-d"}, 0, "~\"raw\":\"Straße\"", ""},
      {{"-r", "diff", "{DIR}", "{DIR}"}, 0, "", ""},
      {{"-x", "dump", "{DIR}"}, 2, "", "kl7: unknown option '-x'"},
      {{"dump", "-dx", "{DIR}"}, 2, "", "kl7: unknown option '-dx'"},
      {{"dump", "{DIR}", "3", "-f", "table", "--encoding", "cp1252"},
       2,
       "",
       "table is always UTF-8"},
  });
}

}  // namespace
}  // namespace cli::testing
