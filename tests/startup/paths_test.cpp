// Path helpers in both styles: separators, directory part and file-name part.
#include "startup/paths.h"

#include <gtest/gtest.h>

#include <string_view>

namespace startup {
namespace {

TEST(Paths, BackslashIsAppendedOnceAndRemovedOnce) {
  EXPECT_EQ(WithBackslash(""), "");
  EXPECT_EQ(WithBackslash("C:"), "C:\\");
  EXPECT_EQ(WithBackslash("C:\\HOST"), "C:\\HOST\\");
  EXPECT_EQ(WithBackslash("C:\\HOST\\"), "C:\\HOST\\");
  EXPECT_EQ(WithBackslash("a/b"), "a/b\\");

  EXPECT_EQ(WithoutBackslash(""), "");
  EXPECT_EQ(WithoutBackslash("\\"), "");
  EXPECT_EQ(WithoutBackslash("C:\\HOST\\"), "C:\\HOST");
  EXPECT_EQ(WithoutBackslash("C:\\HOST\\\\"), "C:\\HOST\\");
  EXPECT_EQ(WithoutBackslash("C:"), "C:");
  EXPECT_EQ(WithoutBackslash("a/"), "a/");
}

TEST(Paths, PosixSeparatorIsSlash) {
  EXPECT_EQ(WithSeparator("", PathStyle::kPosix), "");
  EXPECT_EQ(WithSeparator("/srv", PathStyle::kPosix), "/srv/");
  EXPECT_EQ(WithSeparator("/", PathStyle::kPosix), "/");
  EXPECT_EQ(WithSeparator("a\\", PathStyle::kPosix), "a\\/");
  EXPECT_EQ(WithoutSeparator("/srv/", PathStyle::kPosix), "/srv");
  EXPECT_EQ(WithoutSeparator("/", PathStyle::kPosix), "");
  EXPECT_EQ(WithoutSeparator("a\\", PathStyle::kPosix), "a\\");
}

TEST(Paths, SplitsDirectoryAndFileName) {
  const struct {
    std::string_view path;
    PathStyle style;
    std::string_view directory;
    std::string_view name;
  } cases[] = {
      {"C:\\HOST\\UTILS\\KL71A.DAT", PathStyle::kWindows, "C:\\HOST\\UTILS\\", "KL71A.DAT"},
      {"C:KL71A.DAT", PathStyle::kWindows, "C:", "KL71A.DAT"},
      {"A\\B:C", PathStyle::kWindows, "A\\B:", "C"},
      {"C:\\HOST\\", PathStyle::kWindows, "C:\\HOST\\", ""},
      {"kl71a.dat", PathStyle::kWindows, "", "kl71a.dat"},
      {"a/b/kl71a.dat", PathStyle::kWindows, "", "a/b/kl71a.dat"},
      {"", PathStyle::kWindows, "", ""},
      {"/srv/host/kl71a.dat", PathStyle::kPosix, "/srv/host/", "kl71a.dat"},
      {"/kl71a.dat", PathStyle::kPosix, "/", "kl71a.dat"},
      {"host/x", PathStyle::kPosix, "host/", "x"},
      {"C:\\HOST\\KL71A.DAT", PathStyle::kPosix, "", "C:\\HOST\\KL71A.DAT"},
      {"a:b", PathStyle::kPosix, "", "a:b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DirectoryPart(c.path, c.style), c.directory) << c.path;
    EXPECT_EQ(FileNamePart(c.path, c.style), c.name) << c.path;
  }
}

// The paths a program hands to the file system as given: Windows takes either slash.
TEST(Paths, FileSystemFormsTakeEitherSlashOnWindows) {
  const struct {
    std::string_view path;
    PathStyle style;
    std::string_view directory;  // FileSystemDirectoryPart
    std::string_view name;       // FileSystemNamePart
    std::string_view joinable;   // FileSystemDirectory
  } cases[] = {
      {"utils\\kl701.dat", PathStyle::kWindows, "utils\\", "kl701.dat", "utils\\kl701.dat\\"},
      {"a/b\\KL701.DAT", PathStyle::kWindows, "a/b\\", "KL701.DAT", "a/b\\KL701.DAT\\"},
      {"a\\b/utils", PathStyle::kWindows, "a\\b/", "utils", "a\\b/utils/"},
      {"C:utils", PathStyle::kWindows, "C:", "utils", "C:utils/"},
      {"C:", PathStyle::kWindows, "C:", "", "C:"},
      {"utils", PathStyle::kWindows, "", "utils", "utils/"},
      {"", PathStyle::kWindows, "", "", ""},
      {"a\\b/c", PathStyle::kPosix, "a\\b/", "c", "a\\b/c/"},
      {"utils\\kl701.dat", PathStyle::kPosix, "", "utils\\kl701.dat", "utils\\kl701.dat/"},
      {"/srv/", PathStyle::kPosix, "/srv/", "", "/srv/"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileSystemDirectoryPart(c.path, c.style), c.directory) << c.path;
    EXPECT_EQ(FileSystemNamePart(c.path, c.style), c.name) << c.path;
    EXPECT_EQ(FileSystemDirectory(c.path, c.style), c.joinable) << c.path;
  }
}

}  // namespace
}  // namespace startup
