// Windows command-line splitting: separators, quotes, and the absence of escapes.
#include "startup/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace startup {
namespace {

using Arguments = std::vector<std::string>;

TEST(SplitCommandLine, MatchesTable) {
  const struct {
    std::string_view commandLine;
    Arguments arguments;
  } cases[] = {
      {"", {}},
      {"   \t ", {}},
      {"kl7view.exe", {"kl7view.exe"}},
      {"kl7view.exe C:\\HOST\\UTILS\\KL71A.DAT", {"kl7view.exe", "C:\\HOST\\UTILS\\KL71A.DAT"}},
      {"  a \t b\r\nc  ", {"a", "b", "c"}},
      {"a\x01"
       "b\x1F"
       "c",
       {"a", "b", "c"}},
      {"\"C:\\Program Files\\kl7view.exe\" LIB[3,12] \"C:\\My Host\\x.dat\"",
       {"C:\\Program Files\\kl7view.exe", "LIB[3,12]", "C:\\My Host\\x.dat"}},
      {"a\"b c\"d e", {"ab cd", "e"}},
      {"\"\" x", {"", "x"}},
      {"\"open to the end", {"open to the end"}},
      {"a\\\"b c\\\" d", {"a\\b c\\", "d"}},
      {"C:\\dir\\ x", {"C:\\dir\\", "x"}},
      {"\xE4\xA0x y", {"\xE4\xA0x", "y"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.commandLine), c.arguments) << c.commandLine;
  }
}

}  // namespace
}  // namespace startup
