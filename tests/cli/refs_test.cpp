// kl7 refs and --detail: every reference outcome on a writer-built directory, the filters by
// library and entry, and the detail columns of dump and export.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "cli_fixture.h"

namespace cli::testing {
namespace {

// Library 2 holds a reference of every outcome into library 1 (or a missing library 9); library 3
// refers into library 1 and into itself.
class RefsTest : public ::testing::Test {
 protected:
  RefsTest() {
    m_dir.WriteCurrent(0, {"Eins", "Zwei", "Drei"});
    m_dir.WriteCurrent(1, {"Rot", "Gr\xFCn"});
    m_dir.WriteOlder(2, {"LIB[1,2]", "LIB[1,9]", "LIB[9,1]", "LIB[1,0]", "LIB[-255,1]",
                         "LIB[257,1]", "LIB[769,1]", "LIB[x,1]", "Text"});
    m_dir.WriteCurrent(3, {"LIB[1,2] auch", "LIB[3,1]"});
  }

  RunResult Run(std::vector<std::string> arguments) {
    return RunKl7In(m_dir, std::move(arguments));
  }

  TempDirectory m_dir;
};

TEST_F(RefsTest, ListsEveryReferenceWithItsOutcomeOrThoseIntoOneLibraryOrEntry) {
  const std::string all =
      "2\tZwei\t1\tLIB[1,2]\t1\t2\tresolved\n"
      "2\tZwei\t2\tLIB[1,9]\t1\t9\tentry-beyond-library\n"
      "2\tZwei\t3\tLIB[9,1]\t9\t1\ttarget-unreadable\n"
      "2\tZwei\t4\tLIB[1,0]\t1\t0\tentry-not-positive\n"
      "2\tZwei\t5\tLIB[-255,1]\t-255\t1\tlibrary-negative\n"
      "2\tZwei\t6\tLIB[257,1]\t257\t1\tlibrary-above-255\n"
      "2\tZwei\t7\tLIB[769,1]\t769\t1\tlibrary-outside-tables\n"
      "3\tDrei\t1\tLIB[1,2] auch\t1\t2\tresolved\n"
      "3\tDrei\t2\tLIB[3,1]\t3\t1\tresolved\n";
  struct Case {
    std::vector<std::string> arguments;
    std::string out;
  };
  const Case cases[] = {
      {{"refs", "--all", "{DIR}"}, all},
      // A library file stands for its whole directory.
      {{"refs", "--all", "{DIR}/KL701.DAT"}, all},
      {{"refs", "{DIR}", "1", "2"},
       "2\tZwei\t1\tLIB[1,2]\t1\t2\tresolved\n3\tDrei\t1\tLIB[1,2] auch\t1\t2\tresolved\n"},
      {{"refs", "{DIR}", "$3"}, "3\tDrei\t2\tLIB[3,1]\t3\t1\tresolved\n"},
      {{"refs", "{DIR}", "1", "0"}, "2\tZwei\t4\tLIB[1,0]\t1\t0\tentry-not-positive\n"},
      {{"refs", "{DIR}", "4"}, ""},
  };
  for (const Case& c : cases) {
    const RunResult result = Run(c.arguments);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, c.out) << ::testing::PrintToString(c.arguments);
  }
}

TEST_F(RefsTest, RefusesBadOperandsAndReportsUnreadableLibraries) {
  struct Case {
    std::vector<std::string> arguments;
    int exitStatus;
    std::string err;
  };
  const Case cases[] = {
      {{"refs", "{DIR}"}, 2, "kl7: refs: expected TARGET N [M] (see kl7 --help)\n"},
      {{"refs", "--all", "{DIR}", "1"}, 2, "kl7: refs: expected --all TARGET (see kl7 --help)\n"},
      {{"refs", "{DIR}", "256"},
       2,
       "kl7: refs: library number '256' is not a number from 0 to 255 (26, 0x1A or $1A) (see kl7 "
       "--help)\n"},
      {{"refs", "{DIR}", "1", "zwei"},
       2,
       "kl7: refs: entry number 'zwei' is not a number (see kl7 --help)\n"},
      {{"dump", "--all", "{DIR}"}, 2, "kl7: dump: --all does not apply here (see kl7 --help)\n"},
      {{"find", "--detail", "x", "{DIR}"},
       2,
       "kl7: find: --detail does not apply here (see kl7 --help)\n"},
  };
  for (const Case& c : cases) {
    const RunResult result = Run(c.arguments);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << ::testing::PrintToString(c.arguments);
    EXPECT_EQ(result.err, c.err);
  }

  // An unreadable library is reported and the others are still searched.
  m_dir.WriteBytes(2, "kaputt");
  const RunResult result = Run({"refs", "--all", "{DIR}"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("KL702.DAT"), std::string::npos) << result.err;
  EXPECT_EQ(result.out,
            "3\tDrei\t1\tLIB[1,2] auch\t1\t2\tresolved\n3\tDrei\t2\tLIB[3,1]\t3\t1\tresolved\n");
}

TEST_F(RefsTest, DetailAddsRawTextTargetAndOutcomeToDumpAndExport) {
  struct Case {
    std::vector<std::string> arguments;
    std::string out;
  };
  const Case cases[] = {
      {{"dump", "--detail", "{DIR}", "3", "--format", "tsv"},
       "entry\ttext\traw\ttarget_library\ttarget_entry\toutcome\n"
       "1\tLIB[1,2] auch ---> Grün\tLIB[1,2] auch\t1\t2\tresolved\n"
       "2\tLIB[3,1] ---> LIB[1,2] auch\tLIB[3,1]\t3\t1\tresolved\n"},
      {{"dump", "--detail", "--no-resolve", "{DIR}/KL701.DAT"},
       "1\tRot\tRot\t\t\tnot-a-reference\n2\tGrün\tGrün\t\t\tnot-a-reference\n"},
      {{"export", "--detail", "{DIR}/KL702.DAT"},
       "2\tZwei\t1\tLIB[1,2] ---> Grün\tLIB[1,2]\t1\t2\tresolved\n"
       "2\tZwei\t2\t-###LIB[1,9]###-\tLIB[1,9]\t1\t9\tentry-beyond-library\n"
       "2\tZwei\t3\tLIB[9,1] ---> ?????\tLIB[9,1]\t9\t1\ttarget-unreadable\n"
       "2\tZwei\t4\tLIB[1,0]\tLIB[1,0]\t1\t0\tentry-not-positive\n"
       "2\tZwei\t5\tLIB[-255,1]\tLIB[-255,1]\t-255\t1\tlibrary-negative\n"
       "2\tZwei\t6\tLIB[257,1]\tLIB[257,1]\t257\t1\tlibrary-above-255\n"
       "2\tZwei\t7\tLIB[769,1]\tLIB[769,1]\t769\t1\tlibrary-outside-tables\n"
       "2\tZwei\t8\tLIB[x,1]\tLIB[x,1]\t\t\tnot-a-reference\n"
       "2\tZwei\t9\tText\tText\t\t\tnot-a-reference\n"},
  };
  for (const Case& c : cases) {
    const RunResult result = Run(c.arguments);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, c.out) << ::testing::PrintToString(c.arguments);
  }
  // Without --detail the output stays as it was.
  EXPECT_EQ(Run({"dump", "{DIR}", "1"}).out, "1\tRot\n2\tGrün\n");
}

TEST_F(RefsTest, HtmlExportCarriesTextsAsDataAndIsForExportOnly) {
  m_dir.WriteCurrent(4, {"</script><b>&amp;"});
  const RunResult page = Run({"export", "--format", "html", "{DIR}"});
  EXPECT_EQ(page.exitStatus, 0) << page.err;
  EXPECT_TRUE(page.out.starts_with("<!DOCTYPE html>"));
  EXPECT_NE(page.out.find("\"\\u003c/script>\\u003cb>&amp;\""), std::string::npos);
  EXPECT_EQ(page.out.find("<b>&amp;"), std::string::npos);
  // Only resolved references become links: [entry, library, entry].
  EXPECT_NE(page.out.find("\"refs\":[[1,1,2]]"), std::string::npos);
  EXPECT_NE(page.out.find("\"refs\":[[1,1,2],[2,3,1]]"), std::string::npos);
  // A resolved reference names its target's text, which the page holds once.
  EXPECT_NE(page.out.find("\"texts\":[[\"LIB[1,2] ---> \",0,\"Grün\"],"), std::string::npos);
  EXPECT_NE(page.out.find("\"texts\":[[\"LIB[1,2] auch ---> \",0],"), std::string::npos);
  EXPECT_EQ(page.out.find("://"), std::string::npos) << "nothing from the network";

  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"dump", "--format", "html", "{DIR}"},
        std::vector<std::string>{"export", "--format", "html", "--encoding", "cp1252", "{DIR}"},
        std::vector<std::string>{"export", "--format", "html", "--detail", "{DIR}"}}) {
    const RunResult refused = Run(arguments);
    EXPECT_EQ(refused.exitStatus, 2) << ::testing::PrintToString(arguments);
    EXPECT_EQ(refused.out, "");
  }
}

}  // namespace
}  // namespace cli::testing
