// Upper-casing and case-blind comparison change a to z and nothing else.
#include "text/case.h"

#include <gtest/gtest.h>

#include <string>

namespace text {
namespace {

TEST(Case, UpperCasesOnlyAsciiLetters) {
  EXPECT_EQ(UpperCase("kl71a.dat"), "KL71A.DAT");
  EXPECT_EQ(UpperCase("lib[3,x1f]"), "LIB[3,X1F]");
  // The bytes of accented letters and the ones next to a and z stay as they are.
  EXPECT_EQ(UpperCase("\xE4\xF6\xFC\xDF`{@["), "\xE4\xF6\xFC\xDF`{@[");
  EXPECT_EQ(UpperCase(std::string("a\0b", 3)), std::string("A\0B", 3));
}

TEST(Case, ComparesWithoutRegardToAsciiCase) {
  EXPECT_TRUE(EqualsIgnoreCase("utils", "UTILS"));
  EXPECT_TRUE(EqualsIgnoreCase("UtIlS", "uTiLs"));
  EXPECT_TRUE(EqualsIgnoreCase("", ""));
  EXPECT_FALSE(EqualsIgnoreCase("utils", "utils2"));
  EXPECT_FALSE(EqualsIgnoreCase("\xE4", "\xC4"));
  EXPECT_FALSE(EqualsIgnoreCase("@", "`"));
}

}  // namespace
}  // namespace text
