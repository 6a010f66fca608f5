// Settings: case-blind keys, absent keys read empty, the empty value removes the line.
#include "startup/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace startup {
namespace {

using Lines = std::vector<std::string>;

TEST(Settings, AbsentKeyReadsEmpty) {
  const Settings settings;
  EXPECT_EQ(settings.Read("UTILS"), "");
  EXPECT_TRUE(settings.Lines().empty());
}

TEST(Settings, KeysMatchWithoutRegardToCase) {
  Settings settings;
  settings.Write("UTILS", "C:\\HOST\\utils\\");
  EXPECT_EQ(settings.Read("utils"), "C:\\HOST\\utils\\");
  EXPECT_EQ(settings.Read("Utils"), "C:\\HOST\\utils\\");
  EXPECT_EQ(settings.Read("UTIL"), "");
  EXPECT_EQ(settings.Read("UTILS2"), "");
}

TEST(Settings, WriteReplacesAppendsAndRemoves) {
  Settings settings;
  settings.Write("A", "1");
  settings.Write("B", "x=y");
  EXPECT_EQ(settings.Lines(), (Lines{"A=1", "B=x=y"}));
  EXPECT_EQ(settings.Read("b"), "x=y");

  settings.Write("a", "2");
  EXPECT_EQ(settings.Lines(), (Lines{"a=2", "B=x=y"}));

  settings.Write("A", "");
  EXPECT_EQ(settings.Lines(), (Lines{"B=x=y"}));
  EXPECT_EQ(settings.Read("A"), "");

  // Removing an absent key, or writing the empty text first, leaves no line behind.
  settings.Write("C", "");
  EXPECT_EQ(settings.Lines(), (Lines{"B=x=y"}));
}

}  // namespace
}  // namespace startup
