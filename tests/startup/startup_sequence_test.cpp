// The start-up sequence: both argument forms, every way it ends, and the walk to the utilities
// directory, in Windows style against a scripted lookup, and in the style of the system the tests
// run on against a real tree.
#include "startup/startup_sequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "temp_tree.h"
#include "text/case.h"

namespace startup {
namespace {

using Strings = std::vector<std::string>;

// Answers from a fixed set of directories, compared without regard to case as Windows does, and
// records every question in order.
class FakeLookup final : public DirectoryLookup {
 public:
  explicit FakeLookup(Strings directories) : m_directories(std::move(directories)) {}

  bool IsDirectory(const std::string& path) override {
    m_asked.push_back(path);
    for (const std::string& directory : m_directories) {
      if (text::EqualsIgnoreCase(directory, path)) return true;
    }
    return false;
  }

  // POSIX-style questions: a directory "<dir><spelling>" in the set is a variant when the spelling
  // matches `name` apart from case (the set is expected to hold one spelling per directory).
  std::optional<std::string> FindDirectoryVariant(const std::string& directory,
                                                  const std::string& name) override {
    m_asked.push_back(directory + "?" + name);
    for (const std::string& path : m_directories) {
      if (path.size() == directory.size() + name.size() && path.starts_with(directory) &&
          text::EqualsIgnoreCase(path.substr(directory.size()), name)) {
        return path.substr(directory.size());
      }
    }
    return std::nullopt;
  }

  const Strings& Asked() const { return m_asked; }

 private:
  Strings m_directories;
  Strings m_asked;
};

struct Outcome {
  std::uint8_t library;
  std::int32_t entry;
  Strings lines;
};

struct Case {
  Strings arguments;
  std::variant<Outcome, StartupFailure> expected;  // a failure: the program ends
  Strings directories = {};                        // directories that exist
  std::optional<Strings> asked = {};  // when given, exactly the questions the walk asks
};

void Check(const Case& c, PathStyle style) {
  FakeLookup lookup(c.directories);
  const StartupOutcome outcome = RunStartup(c.arguments, style, lookup);
  std::string label;
  for (const std::string& argument : c.arguments)
    label += "[" + argument + "] ";
  SCOPED_TRACE(label);
  if (const auto* failure = std::get_if<StartupFailure>(&c.expected)) {
    EXPECT_FALSE(outcome.values);
    EXPECT_EQ(outcome.failure, *failure);
    // One line, without anything a terminal would act on.
    EXPECT_FALSE(outcome.reason.empty());
    EXPECT_TRUE(std::ranges::none_of(
        outcome.reason, [](char ch) { return static_cast<unsigned char>(ch) < 0x20; }));
  } else {
    const Outcome& expected = std::get<Outcome>(c.expected);
    ASSERT_TRUE(outcome.values);
    EXPECT_EQ(outcome.failure, StartupFailure::kNone);
    EXPECT_EQ(outcome.values->CurrentLibrary, expected.library);
    EXPECT_EQ(outcome.values->CurrentEntry, expected.entry);
    EXPECT_EQ(outcome.values->settings.Lines(), expected.lines);
  }
  if (c.asked) {
    EXPECT_EQ(lookup.Asked(), *c.asked);
  }
}

const Strings kHost = {"C:\\HOST\\utils"};

TEST(StartupSequence, EndsOnArgumentCountOrUnknownForm) {
  const Case cases[] = {
      {{}, StartupFailure::kNoArguments},
      {{"a", "b", "c"}, StartupFailure::kTooManyArguments},
      {{"KL71A.DAT", "x", "y"}, StartupFailure::kTooManyArguments},
      {{"LIB[3,12]", "C:\\HOST\\x.dat", "y"}, StartupFailure::kTooManyArguments, kHost, Strings{}},
      {{""}, StartupFailure::kUnknownForm},
      {{"C:\\HOST\\README.TXT"}, StartupFailure::kUnknownForm},
      {{"LI[3,12]", "C:\\HOST\\x.dat"}, StartupFailure::kUnknownForm, kHost, Strings{}},
  };
  for (const Case& c : cases)
    Check(c, PathStyle::kWindows);
}

TEST(StartupSequence, ReadsLibraryFileForm) {
  const Case cases[] = {
      {{"C:\\HOST\\UTILS\\KL71A.DAT"}, Outcome{26, 0, {"UTILS=C:\\HOST\\UTILS\\"}}},
      {{"c:\\host\\Utils\\kl71a.dat"}, Outcome{26, 0, {"UTILS=c:\\host\\Utils\\"}}},
      {{"kl71a.dat"}, Outcome{26, 0, {}}},
      {{"KL700.DAT"}, Outcome{0, 0, {}}},
      {{"KL7FF.DAT"}, Outcome{255, 0, {}}},
      {{"C:KL7ff.Dat"}, Outcome{255, 0, {"UTILS=C:\\"}}},
      // The second argument is ignored entirely, even without a directory part.
      {{"KL71A.DAT", "Y.DAT"}, Outcome{26, 0, {}}, {}, Strings{}},
      {{"D:\\U\\KL701.DAT", "LIB[3,4]"}, Outcome{1, 0, {"UTILS=D:\\U\\"}}, {}, Strings{}},
      // The file form wins over a first argument that starts with LIB.
      {{"LIB\\KL705.DAT"}, Outcome{5, 0, {"UTILS=LIB\\"}}},
      {{"LIB[1,2]\\KL703.DAT", "C:\\HOST\\x.dat"}, Outcome{3, 0, {"UTILS=LIB[1,2]\\"}}, kHost},
  };
  for (const Case& c : cases)
    Check(c, PathStyle::kWindows);
}

TEST(StartupSequence, EndsOnMalformedLibraryFileName) {
  for (const char* name : {"KL71.DAT", "KL7123.DAT", "KL71A.DATX", "KL7.DAT", "KL71A.DA",
                           "KL71A.TXT", "C:\\HOST\\KL71A"}) {
    Check({{name}, StartupFailure::kMalformedFileName}, PathStyle::kWindows);
  }
  for (const char* name : {"KL7G1.DAT", "KL7 1.DAT", "KL7-1.DAT", "KL7$1.DAT",
                           "kl7\x1b"
                           "1.dat"}) {
    Check({{name}, StartupFailure::kNotHexadecimal}, PathStyle::kWindows);
  }
  // Control characters are shown as escapes, as kl7 shows them.
  FakeLookup lookup({});
  const StartupOutcome outcome = RunStartup({"kl7\x1b\x7f.dat"}, PathStyle::kWindows, lookup);
  EXPECT_NE(outcome.reason.find("'kl7\\x1b\\x7f.dat'"), std::string::npos) << outcome.reason;
}

TEST(StartupSequence, ReadsLibraryReference) {
  const Strings utils = {"UTILS=C:\\HOST\\utils\\"};
  const std::string file = "C:\\HOST\\x.dat";
  const Case cases[] = {
      {{"LIB[3,12]", file}, Outcome{3, 12, utils}, kHost},
      {{"lib[3,12]", file}, Outcome{3, 12, utils}, kHost},
      {{"LIB[3", file}, Outcome{3, 0, utils}, kHost},
      {{"LIB[3,", file}, Outcome{3, 0, utils}, kHost},
      {{"LIB[3]", file}, Outcome{3, 0, utils}, kHost},
      {{"LIB", file}, Outcome{0, 0, utils}, kHost},
      {{"LIB[", file}, Outcome{0, 0, utils}, kHost},
      {{"LIB[300,1]", file}, Outcome{44, 1, utils}, kHost},
      {{"LIB[-1,1]", file}, Outcome{255, 1, utils}, kHost},
      {{"LIB[3,-2]", file}, Outcome{3, -2, utils}, kHost},
      {{"lib[$1f,x10]", file}, Outcome{31, 16, utils}, kHost},
      {{"LIB[ 3, 4]", file}, Outcome{3, 4, utils}, kHost},
      {{"LIB[3,2147483647]", file}, Outcome{3, 2147483647, utils}, kHost},
      // Numbers that do not convert end the program, and so does a reference on its own.
      {{"LIB[,5]", file}, StartupFailure::kBadLibraryNumber, kHost},
      {{"LIB[3,x]", file}, StartupFailure::kBadEntryNumber, kHost},
      {{"LIB[]", file}, StartupFailure::kBadLibraryNumber, kHost},
      {{"LIB[3 ,4]", file}, StartupFailure::kBadLibraryNumber, kHost},
      {{"LIB[3,12]X", file}, StartupFailure::kBadEntryNumber, kHost},
      {{"LIB(7,8)", file}, StartupFailure::kBadEntryNumber, kHost},
      {{"LIB[3]]", file}, StartupFailure::kBadLibraryNumber, kHost},
      {{"LIB[3,2147483648]", file}, StartupFailure::kBadEntryNumber, kHost},
      {{"LIB[3,12]"}, StartupFailure::kReferenceWithoutPath, kHost, Strings{}},
      {{"LIB"}, StartupFailure::kReferenceWithoutPath, kHost, Strings{}},
  };
  for (const Case& c : cases)
    Check(c, PathStyle::kWindows);
}

TEST(StartupSequence, KeepsAtMost255CharactersOfTheReference) {
  // After "LIB[" 255 characters count: behind 251 blanks the entry's digits still fit (only the
  // closing bracket is cut off), behind one blank more its last digit is lost.
  const std::string blanks(251, ' ');
  Check({{"LIB[3," + blanks + "12]", "C:\\HOST\\x.dat"},
         Outcome{3, 12, {"UTILS=C:\\HOST\\utils\\"}},
         kHost},
        PathStyle::kWindows);
  Check({{"LIB[3, " + blanks + "12]", "C:\\HOST\\x.dat"},
         Outcome{3, 1, {"UTILS=C:\\HOST\\utils\\"}},
         kHost},
        PathStyle::kWindows);
}

TEST(StartupSequence, WalksUpToTheUtilsDirectory) {
  const Case cases[] = {
      {{"LIB[1,1]", "c:\\host\\data\\sub\\x.dat"},
       Outcome{1, 1, {"UTILS=C:\\HOST\\utils\\"}},
       kHost,
       Strings{"C:\\HOST\\DATA\\SUB\\utils", "C:\\HOST\\DATA\\utils", "C:\\HOST\\utils"}},
      {{"LIB[1,1]", "C:\\X\\Y.DAT"},
       Outcome{1, 1, {"UTILS=C:\\utils\\"}},
       {},
       Strings{"C:\\X\\utils", "C:\\utils"}},
      {{"LIB[1,1]", "C:\\HOST\\DATA"},
       Outcome{1, 1, {"UTILS=C:\\utils\\"}},
       {},
       Strings{"C:\\HOST\\utils", "C:\\utils"}},
      {{"LIB[1,1]", "C:\\HOST\\DATA\\"},
       Outcome{1, 1, {"UTILS=C:\\HOST\\utils\\"}},
       kHost,
       Strings{"C:\\HOST\\DATA\\utils", "C:\\HOST\\utils"}},
      {{"LIB[1,1]", "a\\b\\y.dat"},
       Outcome{1, 1, {"UTILS=A\\utils\\"}},
       {},
       Strings{"A\\B\\utils"}},
      {{"LIB[1,1]", "\\\\srv\\share\\y.dat"},
       Outcome{1, 1, {"UTILS=\\\\SRV\\SHARE\\utils\\"}},
       {"\\\\srv\\share\\utils"},
       Strings{"\\\\SRV\\SHARE\\utils"}},
      // A directory part that empties during the walk, or is empty from the start, ends the
      // program.
      {{"LIB[1,1]", "ABC\\Y.DAT"}, StartupFailure::kWalkEndedEmpty, {}, Strings{"ABC\\utils"}},
      {{"LIB[1,1]", "Y.DAT"}, StartupFailure::kNoDirectoryPart, {}, Strings{}},
      {{"LIB[1,1]", ""}, StartupFailure::kNoDirectoryPart, {}, Strings{}},
      // A walk that cannot shorten its directory any further stops there instead of looping.
      {{"LIB[1,1]", "X\\AB:C\\Y.DAT"},
       Outcome{1, 1, {"UTILS=X\\AB:\\utils\\"}},
       {},
       Strings{"X\\AB:C\\utils", "X\\AB:utils"}},
  };
  for (const Case& c : cases)
    Check(c, PathStyle::kWindows);
}

TEST(StartupSequence, PosixStyleKeepsCaseAndFindsUtilsVariant) {
  const Case cases[] = {
      {{"/srv/Host/utils/kl71a.dat"}, Outcome{26, 0, {"UTILS=/srv/Host/utils/"}}},
      {{"kl71a.dat"}, Outcome{26, 0, {}}},
      {{"C:\\HOST\\KL71A.DAT"}, StartupFailure::kUnknownForm},
      {{"lib[2,3]", "/srv/Host/data/x.dat"},
       Outcome{2, 3, {"UTILS=/srv/Host/UTILS/"}},
       {"/srv/Host/UTILS"},
       Strings{"/srv/Host/data/?utils", "/srv/Host/?utils"}},
      {{"LIB[2,3]", "/x/y.dat"}, Outcome{2, 3, {"UTILS=/utils/"}}, {}, Strings{"/x/?utils"}},
      {{"LIB[2,3]", "a/b/y.dat"}, Outcome{2, 3, {"UTILS=a/utils/"}}, {}, Strings{"a/b/?utils"}},
      {{"LIB[2,3]", "y.dat"}, StartupFailure::kNoDirectoryPart, {}, Strings{}},
      {{"LIB[2,3]", "C:\\HOST\\y.dat"}, StartupFailure::kNoDirectoryPart, {}, Strings{}},
  };
  for (const Case& c : cases)
    Check(c, PathStyle::kPosix);
}

// POSIX style against the real file system, as the program runs on Linux.
class StartupSequencePosixTest : public ::testing::Test {
 protected:
  void SetUp() override {
#if defined(_WIN32)
    GTEST_SKIP() << "POSIX paths on a case-sensitive file system; StartupSequenceWindowsTest runs "
                    "the Windows style on this one";
#endif
    m_tree.AddDirectory("host/UTILS");
    m_tree.AddDirectory("host/data/sub");
    m_tree.AddDirectory("exact/utils");
    m_tree.AddDirectory("exact/Utils");
    m_tree.AddDirectory("exact/data");
  }

  std::optional<StartupValues> Run(const Strings& arguments) {
    FileSystemLookup lookup;
    return RunStartup(arguments, PathStyle::kPosix, lookup).values;
  }

  std::string Root() const {
    return m_tree.Root().string();
  }

  test_support::TempTree m_tree;
};

// Runs a test body with the tree's root as the current directory, restoring it afterwards.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::filesystem::path& path)
      : m_previous(std::filesystem::current_path()) {
    std::filesystem::current_path(path);
  }
  ~CurrentDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(m_previous, ignored);
  }
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;

 private:
  std::filesystem::path m_previous;
};

TEST_F(StartupSequencePosixTest, FindsUpperCaseUtilsFromLowerCasePath) {
  const auto values = Run({"lib[3,12]", Root() + "/host/data/sub/x.dat"});
  ASSERT_TRUE(values);
  EXPECT_EQ(values->CurrentLibrary, 3);
  EXPECT_EQ(values->CurrentEntry, 12);
  EXPECT_EQ(values->settings.Read("UTILS"), Root() + "/host/UTILS/");
}

TEST_F(StartupSequencePosixTest, ExactSpellingWins) {
  const auto values = Run({"LIB[1,2]", Root() + "/exact/data/x.dat"});
  ASSERT_TRUE(values);
  EXPECT_EQ(values->settings.Read("UTILS"), Root() + "/exact/utils/");
}

TEST_F(StartupSequencePosixTest, RelativePaths) {
  const CurrentDirectory inTree(m_tree.Root());
  auto values = Run({"LIB[1,2]", "host/data/sub/x.dat"});
  ASSERT_TRUE(values);
  EXPECT_EQ(values->settings.Read("UTILS"), "host/UTILS/");

  // Nothing found: the walk stops below 3 characters and writes "utils/" untested.
  values = Run({"LIB[1,2]", "q/r/x.dat"});
  ASSERT_TRUE(values);
  EXPECT_EQ(values->settings.Read("UTILS"), "q/utils/");

  values = Run({"host/UTILS/KL70a.dat"});
  ASSERT_TRUE(values);
  EXPECT_EQ(values->CurrentLibrary, 10);
  EXPECT_EQ(values->settings.Read("UTILS"), "host/UTILS/");
}

TEST_F(StartupSequencePosixTest, NoDirectoryPart) {
  const CurrentDirectory inTree(m_tree.Root() / "host");
  EXPECT_FALSE(Run({"LIB[1,2]", "x.dat"}));
  const auto values = Run({"kl71a.dat"});
  ASSERT_TRUE(values);
  EXPECT_EQ(values->CurrentLibrary, 26);
  EXPECT_TRUE(values->settings.Lines().empty());
}

#if defined(_WIN32)
// Windows style against the real file system, as the program runs on Windows: the path is
// upper-cased and "utils" appended, and the file system finds the directory in any letter case.
TEST(StartupSequenceWindowsTest, FindsUtilsOnTheFileSystem) {
  test_support::TempTree tree;
  tree.AddDirectory("host/Utils");
  tree.AddDirectory("host/data/sub");
  const auto run = [](const Strings& arguments) {
    FileSystemLookup lookup;
    return RunStartup(arguments, PathStyle::kWindows, lookup).values;
  };
  const std::string root = tree.Root().string();
  auto values = run({"lib[3,12]", root + "\\host\\data\\sub\\x.dat"});
  ASSERT_TRUE(values);
  EXPECT_EQ(values->CurrentLibrary, 3);
  EXPECT_EQ(values->CurrentEntry, 12);
  EXPECT_EQ(values->settings.Read("UTILS"), text::UpperCase(root) + "\\HOST\\utils\\");

  const CurrentDirectory inTree(tree.Root());
  values = run({"LIB[1,2]", "host\\data\\sub\\x.dat"});
  ASSERT_TRUE(values);
  EXPECT_EQ(values->settings.Read("UTILS"), "HOST\\utils\\");
  values = run({"host\\UTILS\\KL70a.dat"});
  ASSERT_TRUE(values);
  EXPECT_EQ(values->CurrentLibrary, 10);
  EXPECT_EQ(values->settings.Read("UTILS"), "host\\UTILS\\");
}
#endif

}  // namespace
}  // namespace startup
