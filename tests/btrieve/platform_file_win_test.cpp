// The Windows file layer on the system's own file system: what the host may do to a file that the
// reader holds, file identity, wall-clock times, long and non-ASCII paths, and error statuses.
#if defined(_WIN32)

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "btrieve/btrieve.h"
#include "btrieve/platform_file.h"
#include "test_support.h"

namespace btrieve::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::byte> Text(const std::string& text) {
  std::vector<std::byte> bytes(text.size());
  for (std::size_t i = 0; i < text.size(); ++i)
    bytes[i] = static_cast<std::byte>(text[i]);
  return bytes;
}

std::string Utf8(const fs::path& path) {
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

std::vector<std::byte> LoadAll(const ReadOnlyFile& file) {
  const auto identity = file.Identity();
  if (!identity) return {};
  const LoadResult loaded = file.Load(identity->size);
  return {loaded.image.Bytes().begin(), loaded.image.Bytes().end()};
}

// Gives `to` the modification time of `from`, to the 100 ns.
void CopyWriteTime(const fs::path& from, const fs::path& to) {
  FILETIME time{};
  const HANDLE source = ::CreateFileW(from.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
  const HANDLE target = ::CreateFileW(to.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
  EXPECT_TRUE(::GetFileTime(source, nullptr, nullptr, &time));
  EXPECT_TRUE(::SetFileTime(target, nullptr, nullptr, &time));
  ::CloseHandle(source);
  ::CloseHandle(target);
}

// The host goes on writing, renaming and removing a file while the reader holds it open.
TEST(WindowsFileLayer, TheHostMayRewriteRenameAndRemoveAHeldFile) {
  const TempDir dir;
  const fs::path path = dir.Path() / "KL701.DAT";
  WriteBytes(path, Text("first version"));
  OpenFileResult opened = ReadOnlyFile::Open(Utf8(path));
  ASSERT_EQ(opened.status, status::kSuccess);
  const ReadOnlyFile& held = *opened.file;

  WriteBytes(path, Text("second, longer version"));
  EXPECT_EQ(LoadAll(held), Text("second, longer version"));

  std::error_code error;
  fs::rename(path, dir.Path() / "KL701.OLD", error);
  EXPECT_FALSE(error) << "rename: " << error.message();
  WriteBytes(path, Text("a new file"));
  OpenFileResult other = ReadOnlyFile::Open(Utf8(path));
  ASSERT_EQ(other.status, status::kSuccess);
  EXPECT_EQ(LoadAll(*other.file), Text("a new file"));
  EXPECT_NE(other.file->Identity()->inode, held.Identity()->inode);

  EXPECT_TRUE(fs::remove(dir.Path() / "KL701.OLD", error)) << "remove: " << error.message();
}

// A file replaced by another of the same size and modification time is told apart by its index.
TEST(WindowsFileLayer, AReplacedFileHasAnotherIdentity) {
  const TempDir dir;
  const fs::path path = dir.Path() / "KL701.DAT";
  WriteBytes(path, Text("version one"));
  WriteBytes(dir.Path() / "new.tmp", Text("version two"));
  CopyWriteTime(path, dir.Path() / "new.tmp");
  const auto before = PathIdentity(Utf8(path));
  ASSERT_TRUE(before);
  fs::rename(dir.Path() / "new.tmp", path);
  const auto after = PathIdentity(Utf8(path));
  ASSERT_TRUE(after);
  EXPECT_EQ(after->size, before->size);
  EXPECT_EQ(after->modifiedNs, before->modifiedNs);
  EXPECT_NE(*after, *before);
  EXPECT_EQ(after->device, before->device);
}

// Times count from 1970 as the wall clock does, so that a file just written has not settled.
TEST(WindowsFileLayer, TimesAreWallClockTimes) {
  const TempDir dir;
  WriteBytes(dir.Path() / "KL701.DAT", Text("x"));
  const auto identity = PathIdentity(Utf8(dir.Path() / "KL701.DAT"));
  ASSERT_TRUE(identity);
  const std::int64_t skew = std::chrono::nanoseconds(std::chrono::minutes(1)).count();
  EXPECT_LT(std::abs(identity->modifiedNs - NowNs()), skew);
  EXPECT_LT(std::abs(identity->changedNs - NowNs()), skew);
}

// Paths in UTF-8 reach names of any script, and paths beyond the plain calls' 260 characters.
TEST(WindowsFileLayer, UnicodeAndLongPaths) {
  const TempDir dir;
  const fs::path unicode = dir.Path() / u8"\u0141\u00f3d\u017a" / u8"Bibliothek \u00c4\u00d6\u00dc";
  fs::path deep = fs::absolute(dir.Path());
  while (deep.native().size() < 300)
    deep /= std::string(40, 'd');
  for (const fs::path& folder : {unicode, deep}) {
    SCOPED_TRACE(Utf8(folder));
    fs::create_directories(fs::path(LR"(\\?\)" + folder.native()));
    WriteBytes(fs::path(LR"(\\?\)" + (folder / "KL701.DAT").native()), Text("contents"));
    const std::string path = Utf8(folder / "KL701.DAT");
    OpenFileResult opened = ReadOnlyFile::Open(path);
    ASSERT_EQ(opened.status, status::kSuccess);
    EXPECT_EQ(LoadAll(*opened.file), Text("contents"));
    EXPECT_TRUE(PathIdentity(path));
  }
  EXPECT_GT(Utf8(deep / "KL701.DAT").size(), 260u);
  // The temporary directory's removal takes no long paths: the deep part goes here.
  fs::remove(fs::path(LR"(\\?\)" + (deep / "KL701.DAT").native()));
  for (fs::path folder = deep; folder.native().size() > fs::absolute(dir.Path()).native().size();
       folder = folder.parent_path()) {
    fs::remove(fs::path(LR"(\\?\)" + folder.native()));
  }
}

// Windows errors as the record manager's statuses.
TEST(WindowsFileLayer, ErrorsAnswerTheirStatuses) {
  const TempDir dir;
  const fs::path locked = dir.Path() / "LOCKED.DAT";
  WriteBytes(locked, Text("x"));
  // A program that shares its file with no one.
  const HANDLE exclusive = ::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  const struct {
    std::string path;
    std::uint16_t status;
  } cases[] = {
      {Utf8(locked), status::kPermissionError},
      {Utf8(dir.Path() / "MISSING.DAT"), status::kFileNotFound},
      {Utf8(dir.Path() / "NODIR" / "X.DAT"), status::kFileNotFound},
      {Utf8(dir.Path()), status::kFileNotFound},
      {"NUL", status::kIoError},
      {std::string("bad \xFF name"), status::kInvalidFileName},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReadOnlyFile::Open(c.path).status, c.status) << c.path;
  ::CloseHandle(exclusive);
}

}  // namespace
}  // namespace btrieve::test

#endif
