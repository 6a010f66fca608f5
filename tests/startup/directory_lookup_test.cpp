// FileSystemLookup against a real directory tree: what counts as a directory, which spelling wins.
#include "startup/directory_lookup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "temp_tree.h"

namespace startup {
namespace {

class FileSystemLookupTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& relative) const {
    return (m_tree.Root() / relative).string();
  }

  test_support::TempTree m_tree;
  FileSystemLookup m_lookup;
};

TEST_F(FileSystemLookupTest, OnlyDirectoriesAreDirectories) {
  m_tree.AddDirectory("host/utils");
  m_tree.AddFile("host/data");
  EXPECT_TRUE(m_lookup.IsDirectory(Path("host/utils")));
  EXPECT_TRUE(m_lookup.IsDirectory(Path("host/utils/")));
  EXPECT_FALSE(m_lookup.IsDirectory(Path("host/data")));
  EXPECT_FALSE(m_lookup.IsDirectory(Path("host/missing")));
  EXPECT_FALSE(m_lookup.IsDirectory(""));
}

TEST_F(FileSystemLookupTest, ExactSpellingWins) {
  m_tree.AddDirectory("host/UTILS");
  m_tree.AddDirectory("host/Utils");
  m_tree.AddDirectory("host/utils");
  EXPECT_EQ(m_lookup.FindDirectoryVariant(Path("host/"), "utils"), "utils");
  EXPECT_EQ(m_lookup.FindDirectoryVariant(Path("host"), "UTILS"), "UTILS");
}

#if defined(_WIN32)
// The file system matches names in any letter case: the name asked for is found as it was asked.
TEST_F(FileSystemLookupTest, TheFileSystemMatchesAnyLetterCase) {
  m_tree.AddDirectory("host/uTILS");
  m_tree.AddDirectory("host/utils2");
  EXPECT_EQ(m_lookup.FindDirectoryVariant(Path("host/"), "utils"), "utils");
  EXPECT_EQ(m_lookup.FindDirectoryVariant(Path("host\\"), "UTILS"), "UTILS");
}
#else
TEST_F(FileSystemLookupTest, OtherwiseFirstVariantInByteOrder) {
  m_tree.AddDirectory("host/uTILS");
  m_tree.AddDirectory("host/UtiLs");
  m_tree.AddDirectory("host/utils2");
  EXPECT_EQ(m_lookup.FindDirectoryVariant(Path("host/"), "utils"), "UtiLs");
}
#endif

TEST_F(FileSystemLookupTest, FilesAndOtherNamesDoNotCount) {
#if !defined(_WIN32)  // only a case-sensitive file system holds both
  m_tree.AddFile("a/utils");
  m_tree.AddDirectory("a/UTILS");
#endif
  m_tree.AddFile("b/Utils");
  m_tree.AddDirectory("b/utilsx");
  m_tree.AddDirectory("b/\xC3\xBCtils");
#if !defined(_WIN32)
  EXPECT_EQ(m_lookup.FindDirectoryVariant(Path("a/"), "utils"), "UTILS");
#endif
  EXPECT_EQ(m_lookup.FindDirectoryVariant(Path("b/"), "utils"), std::nullopt);
  EXPECT_EQ(m_lookup.FindDirectoryVariant(Path("missing/"), "utils"), std::nullopt);
}

TEST_F(FileSystemLookupTest, SymbolicLinkToDirectoryCounts) {
  m_tree.AddDirectory("real");
  m_tree.AddDirectory("host");
  std::error_code error;
  std::filesystem::create_directory_symlink(m_tree.Root() / "real", m_tree.Root() / "host/Utils",
                                            error);
  if (error) GTEST_SKIP() << "symbolic links unavailable: " << error.message();
  EXPECT_EQ(m_lookup.FindDirectoryVariant(Path("host/"), "utils"), "Utils");
}

}  // namespace
}  // namespace startup
