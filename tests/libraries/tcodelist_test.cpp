// The list keeps its texts in shared blocks: every text must read back as stored, whatever its
// length, after copies and replacements.
#include "libraries/tcodelist.h"

#include <gtest/gtest.h>

#include <memory>

#include <string>
#include <vector>

namespace core {
namespace {

TEST(TcodelistTest, KeepsEveryTextAcrossBlocksCopiesAndReplacements) {
  std::vector<std::string> expected = {"*", "", std::string(70000, 'L'), "kurz"};
  for (int k = 0; k < 5000; ++k)
    expected.push_back("Eintrag " + std::to_string(k) + std::string(k % 40, 'x'));
  expected.push_back(std::string(65536, 'B'));
  expected.push_back("Ende");

  tcodelist list;
  for (const std::string& text : expected)
    list.Add(text);
  ASSERT_EQ(list.Count(), expected.size());
  EXPECT_EQ(list.Items(), expected);

  // A copy owns its texts: changing or destroying the original leaves it alone.
  auto original = std::make_unique<tcodelist>(list);
  tcodelist copy = *original;
  original->Set(0, "Bibliotheksnamen");
  original->Set(2, "");
  EXPECT_EQ((*original)[0], "Bibliotheksnamen");
  EXPECT_EQ((*original)[2], "");
  EXPECT_EQ((*original)[3], "kurz");
  original.reset();
  EXPECT_EQ(copy.Items(), expected);
  EXPECT_TRUE(copy == list);

  tcodelist assigned;
  assigned.Add("alt");
  assigned = copy;
  EXPECT_EQ(assigned.Items(), expected);
}

// A moved-from list is empty and owns nothing of the list it was moved into: adding to it never
// writes into the other's blocks. A joined entry keeps the list its tail shows alive.
TEST(TcodelistTest, MovesLeaveBothListsSoundAndJoinedEntriesKeepTheirTarget) {
  tcodelist from;
  from.Add("eins");
  tcodelist to(std::move(from));
  from.Add("zwei");  // NOLINT(bugprone-use-after-move): the moved-from state is what is tested
  to.Add("drei");
  EXPECT_EQ(to.Items(), (std::vector<std::string>{"eins", "drei"}));
  EXPECT_EQ(from.Items(), (std::vector<std::string>{"zwei"}));
  tcodelist assigned;
  assigned = std::move(to);
  to.Add("vier");  // NOLINT(bugprone-use-after-move)
  assigned.Add("fünf");
  EXPECT_EQ(assigned.Items(), (std::vector<std::string>{"eins", "drei", "fünf"}));
  EXPECT_EQ(to.Items(), (std::vector<std::string>{"vier"}));

  auto target = std::make_shared<tcodelist>();
  target->Add("Ziel");
  tcodelist joined;
  joined.AddJoined("LIB[1,1] ---> ", (*target)[0].head, target);
  const tcodelist copy = joined;
  target.reset();
  EXPECT_EQ(joined[0], "LIB[1,1] ---> Ziel");
  EXPECT_EQ(copy.Items(), (std::vector<std::string>{"LIB[1,1] ---> Ziel"}));
}

}  // namespace
}  // namespace core
