// The list keeps its texts in shared blocks: every text must read back as stored, whatever its
// length, after copies and replacements.
#include "libraries/tcodelist.h"

#include <gtest/gtest.h>

#include <memory>

#include <string>
#include <utility>
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

// Both lists stay sound after a move: adding to the moved-from one never writes into the block it
// gave away.
TEST(TcodelistTest, MovesLeaveBothListsSound) {
  tcodelist source;
  source.Add("eins");
  source.Add("zwei");
  tcodelist moved(std::move(source));
  source.Add("fremd");  // NOLINT(bugprone-use-after-move): the moved-from list is reusable
  moved.Add("drei");
  EXPECT_EQ(moved.Items(), (std::vector<std::string>{"eins", "zwei", "drei"}));
  EXPECT_EQ(source.Items(), std::vector<std::string>{"fremd"});

  tcodelist assigned;
  assigned.Add("alt");
  assigned = std::move(moved);
  moved.Add("neu");  // NOLINT(bugprone-use-after-move)
  assigned.Add("vier");
  EXPECT_EQ(assigned.Items(), (std::vector<std::string>{"eins", "zwei", "drei", "vier"}));
  EXPECT_EQ(moved.Items(), std::vector<std::string>{"neu"});
}

}  // namespace
}  // namespace core
