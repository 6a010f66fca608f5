// kl7 diff: the differences between two writer-built utils directories in every kind, and its
// exit statuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_fixture.h"

namespace cli::testing {
namespace {

class DiffTest : public ::testing::Test {
 protected:
  DiffTest() {
    for (TempDirectory* dir : {&m_old, &m_new}) {
      dir->WriteCurrent(1, {"Rot", "Gr\xFCn"});
      dir->WriteOlder(2, {"LIB[1,2]", "gleich"});
    }
    m_old.WriteCurrent(0, {"Eins", "Zwei", "Drei"});
    m_new.WriteCurrent(0, {"Eins", "Zwei", "Vier"});
  }

  RunResult Diff(std::vector<std::string> options) {
    std::vector<std::string> arguments = {"diff", m_old.Path(), m_new.Path()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    RunResult result = RunKl7(arguments);
    result.err = ReplaceAll(ReplaceAll(result.err, m_old.Path(), "{OLD}"), m_new.Path(), "{NEW}");
    return result;
  }

  TempDirectory m_old;
  TempDirectory m_new;
};

TEST_F(DiffTest, SameDirectoriesGiveNoRowAndExitZero) {
  m_new.WriteCurrent(0, {"Eins", "Zwei", "Drei"});
  const RunResult result = Diff({"--format", "tsv"});
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.out, "change\tlibrary\tname\tentry\told\tnew\n");
}

TEST_F(DiffTest, ReportsEveryKindOfDifferenceAndExitsOne) {
  m_old.WriteCurrent(3, {"weg"});
  m_new.WriteCurrent(4, {"neu"});
  m_new.WriteCurrent(1, {"Rot", "Gelb", "Blau"});  // entry 2 changed, entry 3 added
  m_new.WriteBytes(2, "kaputt");
  const RunResult result = Diff({});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.out,
            "entry\t0\tBibliotheksnamen\t3\tDrei\tVier\n"
            "entry-count\t1\tEins\t\t2\t3\n"
            "entry\t1\tEins\t2\tGrün\tGelb\n"
            "entry-added\t1\tEins\t3\t\tBlau\n"
            "unreadable\t2\tZwei\t\t\tnot a record file this reader reads: the file has 6 bytes, "
            "less than the smallest page of 512 (status 30)\n"
            "library-removed\t3\tDrei\t\t\t\n"
            "library-added\t4\t\t\t\t\n");
  EXPECT_EQ(result.err,
            "kl7: {NEW}/KL702.DAT: not a record file this reader reads: the file has 6 bytes, less "
            "than the smallest page of 512 (status 30)\n");
}

TEST_F(DiffTest, ResolvedComparesTheShownTexts) {
  // Library 2's raw texts are equal; its reference shows the changed entry of library 1.
  m_new.WriteCurrent(1, {"Rot", "Gelb"});
  const std::string changed = "entry\t1\tEins\t2\tGrün\tGelb\n";
  EXPECT_EQ(Diff({}).out, "entry\t0\tBibliotheksnamen\t3\tDrei\tVier\n" + changed);
  EXPECT_EQ(Diff({"--resolved"}).out, "entry\t0\tBibliotheksnamen\t3\tDrei\tVier\n" + changed +
                                          "entry\t2\tZwei\t1\tLIB[1,2] ---> Grün\tLIB[1,2] ---> "
                                          "Gelb\n");
  EXPECT_EQ(Diff({"--format", "jsonl"}).out,
            "{\"change\":\"entry\",\"library\":0,\"name\":\"Bibliotheksnamen\",\"entry\":3,"
            "\"old\":\"Drei\",\"new\":\"Vier\"}\n"
            "{\"change\":\"entry\",\"library\":1,\"name\":\"Eins\",\"entry\":2,"
            "\"old\":\"Grün\",\"new\":\"Gelb\"}\n");
}

TEST_F(DiffTest, ADirectoryThatCannotBeComparedIsExitTwo) {
  const TempDirectory empty;
  struct Case {
    std::vector<std::string> arguments;
    std::string err;
  };
  const Case cases[] = {
      {{"diff", m_old.Path(), m_new.Path() + "/fehlt"}, "no such directory"},
      {{"diff", m_old.Path(), empty.Path()}, "no library files"},
      {{"diff", m_old.Path()}, "expected DIR1 DIR2"},
      {{"list", "--resolved", m_old.Path()}, "--resolved does not apply"},
  };
  for (const Case& c : cases) {
    const RunResult result = RunKl7(c.arguments);
    EXPECT_EQ(result.exitStatus, 2) << result.err;
    EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
  }
}

}  // namespace
}  // namespace cli::testing
