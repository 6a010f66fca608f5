// The loader on library files built on disk in both record-file formats and both record layouts,
// and the references it resolves while it loads.
#include "libraries/library_cache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "btrieve/btrieve.h"
#include "utils_directory.h"

namespace core {
namespace {

using btrieve::writer::Format;
using testing::CountingRecordManager;
using testing::LibraryContents;
using testing::RecordLayout;
using testing::UtilsDirectory;

std::vector<std::string> ListOf(const LibraryCache& cache, int number) {
  const tcodelist* list = cache.LibraryLists(number);
  if (list == nullptr) return {};
  return list->Items();
}

TEST(LibraryFileNameTest, NamesTheFileByTwoUpperCaseHexDigits) {
  EXPECT_EQ(LibraryFileName("C:\\HOST\\UTILS\\", 26), "C:\\HOST\\UTILS\\KL71A.DAT");
  EXPECT_EQ(LibraryFileName("/srv/host/utils/", 255), "/srv/host/utils/KL7FF.DAT");
  EXPECT_EQ(LibraryFileName("", 10), "KL70A.DAT");
  EXPECT_EQ(LibraryFileName("", 0), "KL700.DAT");
}

// Each case runs in both record-file formats, and with the entries read in one run of the record
// manager (its bulk path) and read by one call per entry (a forwarding manager has no bulk path of
// its own): both give the same lists.
class LoaderTest : public ::testing::TestWithParam<std::tuple<Format, bool>> {
 protected:
  static Format Fmt() { return std::get<0>(GetParam()); }
  bool Load(std::uint8_t number, bool resolve = true) {
    return m_cache.LoadLibraryList(number, true, resolve, m_is16Bit);
  }

  UtilsDirectory m_dir;
  libfile::NativeRecordManager m_native;
  CountingRecordManager m_perEntry{m_native};
  LibraryCache m_cache{
      std::get<1>(GetParam()) ? static_cast<libfile::RecordManager&>(m_native) : m_perEntry,
      m_dir.Utils()};
  bool m_is16Bit = false;
};

TEST_P(LoaderTest, PutsEntryKAtPositionKAfterThePlaceholder) {
  m_dir.WriteCurrent(1, {"Rot", "Grün", "", "Blau"}, Fmt());
  m_dir.WriteOlder(2, {"Äpfel", "", "Birnen"}, Fmt());

  ASSERT_TRUE(Load(1));
  EXPECT_FALSE(m_is16Bit);
  EXPECT_EQ(ListOf(m_cache, 1), (std::vector<std::string>{"*", "Rot", "Grün", "-######-", "Blau"}));

  ASSERT_TRUE(Load(2));
  EXPECT_TRUE(m_is16Bit);
  EXPECT_EQ(ListOf(m_cache, 2), (std::vector<std::string>{"*", "Äpfel", "-######-", "Birnen"}));
  EXPECT_TRUE(m_cache.LibraryLoaded(1));
  EXPECT_TRUE(m_cache.LibraryLoaded(2));
}

TEST_P(LoaderTest, ChoosesTheLayoutByTheCurrentClassDataLength) {
  // An older-layout file with entries of 44 bytes has records of 54 bytes: a data length of 38
  // under the current class, so the older class reads it.
  m_dir.WriteOlder(1, {"Eins", "Zwei"}, Fmt(), 44);
  ASSERT_TRUE(Load(1));
  EXPECT_TRUE(m_is16Bit);
  EXPECT_EQ(ListOf(m_cache, 1), (std::vector<std::string>{"*", "Eins", "Zwei"}));

  // With 45 bytes the records have 55 and the current class keeps the file, as it would any file
  // of that record length: its entry count is then the number of records.
  m_dir.WriteOlder(2, {"Eins", "Zwei"}, Fmt(), 45);
  ASSERT_TRUE(Load(2));
  EXPECT_FALSE(m_is16Bit);
  const std::size_t headerRecords = 2042 / 55;
  EXPECT_EQ(m_cache.LibraryLists(2)->Count(), 1 + headerRecords + 2);

  // A current-layout file of record length 54 goes to the older class too.
  m_dir.WriteCurrent(3, {"Eins"}, Fmt(), 54);
  Load(3);
  EXPECT_TRUE(m_is16Bit);
  m_dir.WriteCurrent(4, {"Eins"}, Fmt(), 55);
  ASSERT_TRUE(Load(4));
  EXPECT_FALSE(m_is16Bit);
  EXPECT_EQ(ListOf(m_cache, 4), (std::vector<std::string>{"*", "Eins"}));
}

TEST_P(LoaderTest, ReportsFilesThatCannotBeLoaded) {
  // A missing file: both classes were tried.
  EXPECT_FALSE(Load(7));
  EXPECT_TRUE(m_is16Bit);
  EXPECT_FALSE(m_cache.LibraryLoaded(7));

  // A current-layout file without records fails its count query; the older class is not tried.
  m_dir.WriteCurrent(8, {}, Fmt());
  EXPECT_FALSE(Load(8));
  EXPECT_FALSE(m_is16Bit);
  EXPECT_FALSE(m_cache.LibraryLoaded(8));

  // An older-layout file without entries is a library of its own: only the placeholder.
  m_dir.WriteOlder(9, {}, Fmt());
  EXPECT_TRUE(Load(9));
  EXPECT_TRUE(m_is16Bit);
  EXPECT_EQ(ListOf(m_cache, 9), (std::vector<std::string>{"*"}));

  // Not a record file at all.
  m_dir.WriteBytes(10, std::string(3000, 'x'));
  EXPECT_FALSE(Load(10));
  EXPECT_FALSE(m_cache.LibraryLoaded(10));
}

TEST_P(LoaderTest, ReadsLibrariesByTheirHexadecimalFileNames) {
  m_dir.WriteCurrent(255, {"Letzte"}, Fmt());
  m_dir.WriteCurrent(10, {"Zehn"}, Fmt());
  ASSERT_TRUE(Load(255));
  ASSERT_TRUE(Load(10));
  EXPECT_EQ(ListOf(m_cache, 255), (std::vector<std::string>{"*", "Letzte"}));
  EXPECT_EQ(ListOf(m_cache, 10), (std::vector<std::string>{"*", "Zehn"}));
}

TEST_P(LoaderTest, AReloadThatFailsLeavesTheLibraryNotCached) {
  m_dir.WriteCurrent(5, {"Alt"}, Fmt());
  ASSERT_TRUE(Load(5));
  m_dir.WriteBytes(5, "kein Satzformat");
  EXPECT_FALSE(Load(5));
  EXPECT_FALSE(m_cache.LibraryLoaded(5));
  EXPECT_EQ(m_cache.LibraryLists(5), nullptr);

  // Without reload a cached library stays as it is.
  m_dir.WriteCurrent(6, {"Alt"}, Fmt());
  ASSERT_TRUE(Load(6));
  m_dir.WriteCurrent(6, {"Neu"}, Fmt());
  EXPECT_TRUE(m_cache.LoadLibraryList(6, false, true, m_is16Bit));
  EXPECT_EQ(ListOf(m_cache, 6), (std::vector<std::string>{"*", "Alt"}));
  m_cache.ReleaseLibraryList(6);
  EXPECT_FALSE(m_cache.LibraryLoaded(6));
  m_cache.ReleaseLibraryList(6);  // a second release does nothing
  m_cache.ReleaseLibraryList(-1);
  m_cache.ReleaseLibraryList(600);
}

TEST_P(LoaderTest, BoundsATextWithoutZeroByteByTheEntryData) {
  // Record length 60: 44 data bytes, byte 0 and 43 text bytes fill it with no zero byte.
  m_dir.WriteCurrent(1, {std::string(43, 'A'), std::string(50, 'B'), "C"}, Fmt(), 60);
  m_dir.WriteOlder(2, {std::string(9, 'D'), "E"}, Fmt(), 10);
  ASSERT_TRUE(Load(1));
  EXPECT_EQ(ListOf(m_cache, 1),
            (std::vector<std::string>{"*", std::string(43, 'A'), std::string(43, 'B'), "C"}));
  ASSERT_TRUE(Load(2));
  EXPECT_EQ(ListOf(m_cache, 2), (std::vector<std::string>{"*", std::string(9, 'D'), "E"}));
}

TEST_P(LoaderTest, AnEntryThatCannotBeReadIsStoredEmptyAtItsPosition) {
  m_dir.WriteCurrent(1, {"Eins", "Zwei", "Drei"}, Fmt());
  CountingRecordManager failing(m_native);
  failing.Fail(btrieve::kOpGetEqual, 2, 2);  // an I/O error on entry 2
  LibraryCache cache(failing, m_dir.Utils());
  ASSERT_TRUE(cache.LoadLibraryList(1, true, true, m_is16Bit));
  EXPECT_EQ(ListOf(cache, 1), (std::vector<std::string>{"*", "Eins", "-######-", "Drei"}));
}

INSTANTIATE_TEST_SUITE_P(BothFormatsBothPaths, LoaderTest,
                         ::testing::Combine(::testing::Values(Format::kPre6, Format::kV6),
                                            ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) == Format::kPre6 ? "Pre6"
                                                                                       : "V6") +
                                  (std::get<1>(info.param) ? "Bulk" : "PerEntry");
                         });

// Library 3 holds 10 entries: 7 reads Text7, 8 is empty, 9 refers on to library 4. Library 5 does
// not exist.
class ReferenceTest : public ::testing::Test {
 protected:
  ReferenceTest() {
    std::vector<std::string> three;
    for (int k = 1; k <= 10; ++k)
      three.push_back("Text" + std::to_string(k));
    three[7] = "";
    three[8] = "LIB[4,1]";
    m_dir.WriteCurrent(3, three);
    m_dir.WriteOlder(4, {"Vier eins"});
    m_dir.WriteCurrent(0, {"Farben", "Formen", "Texte"});
  }

  // Resolves `text` and reports how many files were opened meanwhile.
  std::string Resolve(std::string text, int* opens = nullptr) {
    m_counter.Reset();
    m_cache.ResolveReference(text);
    if (opens != nullptr) *opens = m_counter.Count(btrieve::kOpOpen);
    return text;
  }

  UtilsDirectory m_dir;
  libfile::NativeRecordManager m_native;
  CountingRecordManager m_counter{m_native};
  LibraryCache m_cache{m_counter, m_dir.Utils()};
};

TEST_F(ReferenceTest, ResolvesOneLevelDeep) {
  struct Row {
    std::string text;
    std::string expected;
    bool reads;  // whether a library file is opened
    ReferenceOutcome outcome;
  };
  using enum ReferenceOutcome;
  const Row rows[] = {
      {"LIB[3,7]", "LIB[3,7] ---> Text7", true, kResolved},
      {"LIB[3,10]", "LIB[3,10] ---> Text10", true, kResolved},
      {"LIB[3,11]", "", true, kEntryBeyondLibrary},
      {"LIB[3,0]", "LIB[3,0]", true, kEntryNotPositive},
      {"LIB[3,-2]", "LIB[3,-2]", true, kEntryNotPositive},
      {"LIB[5,1]", "LIB[5,1] ---> ?????", true, kTargetUnreadable},
      {"LIB[3,9]", "LIB[3,9] ---> LIB[4,1]", true, kResolved},
      {"LIB[3,8]", "LIB[3,8] ---> -######-", true, kResolved},
      {"lib[3,7]", "lib[3,7]", false, kNotAReference},
      {" LIB[3,7]", " LIB[3,7]", false, kNotAReference},
      {"LIB[3 ,7]", "LIB[3 ,7]", false, kNotAReference},
      {"LIB[ 3,7]", "LIB[ 3,7] ---> Text7", true, kResolved},
      {"LIB[3,7 ]", "LIB[3,7 ] ---> Text7", true, kResolved},
      {"LIB[3,7x]", "LIB[3,7x] ---> Text7", true, kResolved},
      {"LIB[$03,7]", "LIB[$03,7] ---> Text7", true, kResolved},
      {"LIB[3,7", "LIB[3,7", true, kEntryNotPositive},
      {"LIB[3;7]", "LIB[3;7]", false, kNotAReference},
      {"LIBRARY [3,7]", "LIBRARY [3,7] ---> Text7", true, kResolved},
      {"LIB[259,2]", "LIB[259,2]", true,
       kLibraryAbove255},  // reads library 3, but 259 is not cached
      {"LIB[-1,2]", "LIB[-1,2] ---> ?????", true, kTargetUnreadable},  // library 255 does not exist
      {"LIB[-253,2]", "LIB[-253,2]", true, kLibraryNegative},          // library 3 again, n below 0
      {"LIB[1000,2]", "LIB[1000,2] ---> ?????", true, kTargetUnreadable},  // library 232 is missing
      {"LIB[768,2]", "LIB[768,2]", true,
       kLibraryOutsideTables},  // library 0 exists; 768 lies outside the tables
      {"LIB[3,7] see also LIB[4,2]", "LIB[3,7] see also LIB[4,2] ---> Text7", true, kResolved},
      {"LIB[0,2]", "LIB[0,2] ---> Formen", true, kResolved},
      {"Gewöhnlicher Text", "Gewöhnlicher Text", false, kNotAReference},
  };
  for (const Row& row : rows) {
    int opens = 0;
    EXPECT_EQ(Resolve(row.text, &opens), row.expected) << row.text;
    EXPECT_EQ(opens > 0, row.reads) << row.text;
    EXPECT_EQ(m_cache.ClassifyReference(row.text).outcome, row.outcome) << row.text;
  }
}

TEST_F(ReferenceTest, AReferenceToLibrary255ResolvesWhenItExists) {
  m_dir.WriteCurrent(255, {"Erste", "Zweite"});
  EXPECT_EQ(Resolve("LIB[-1,2]"), "LIB[-1,2]");  // n below 0: unchanged after the read
  EXPECT_EQ(Resolve("LIB[255,2]"), "LIB[255,2] ---> Zweite");
  EXPECT_TRUE(m_cache.LibraryLoaded(255));
}

TEST_F(ReferenceTest, EveryReferenceReadsItsLibraryAgain) {
  int opens = 0;
  Resolve("LIB[3,7]", &opens);
  EXPECT_EQ(opens, 1);
  Resolve("LIB[3,7]", &opens);
  EXPECT_EQ(opens, 1);
  // A failed read removes what was cached.
  m_dir.WriteBytes(3, "kaputt");
  EXPECT_EQ(Resolve("LIB[3,7]"), "LIB[3,7] ---> ?????");
  EXPECT_FALSE(m_cache.LibraryLoaded(3));
}

TEST_F(ReferenceTest, ALoadGroupReadsEachTargetOnceAndClassifiesAsTheResolverDoes) {
  m_cache.BeginLoadGroup();
  m_counter.Reset();
  const LibraryCache::Resolution first = m_cache.ClassifyReference("LIB[3,7]");
  m_dir.WriteBytes(3, "kaputt");  // not seen again within the group
  const LibraryCache::Resolution second = m_cache.ClassifyReference("LIB[3,9]");
  EXPECT_EQ(m_counter.Count(btrieve::kOpOpen), 1);
  m_cache.EndLoadGroup();
  EXPECT_EQ(first.outcome, ReferenceOutcome::kResolved);
  EXPECT_EQ(first.target, "Text7");
  EXPECT_EQ(first.reference.library, 3);
  EXPECT_EQ(first.reference.entry, 7);
  EXPECT_EQ(second.target, "LIB[4,1]");
  EXPECT_EQ(m_cache.ClassifyReference("LIB[3,7]").outcome, ReferenceOutcome::kTargetUnreadable);
}

TEST_F(ReferenceTest, TheLoaderStoresResolvedAndMarkedEntries) {
  m_dir.WriteOlder(
      1, {"LIB[3,7]", "LIB[3,11]", "LIB[5,1]", "", "LIB[3,9]", "Ölfarbe", "LIB[3,8]", "LIB[0,1]"});
  bool is16Bit = false;
  ASSERT_TRUE(m_cache.LoadLibraryList(1, true, true, is16Bit));
  EXPECT_EQ(ListOf(m_cache, 1), (std::vector<std::string>{
                                    "*", "LIB[3,7] ---> Text7", "-###LIB[3,11]###-",
                                    "LIB[5,1] ---> ?????", "-######-", "LIB[3,9] ---> LIB[4,1]",
                                    "Ölfarbe", "LIB[3,8] ---> -######-", "LIB[0,1] ---> Farben"}));
  // The targets were read without resolution: library 3's entry 9 stands as written, and the
  // catalogue's list is the unresolved one.
  EXPECT_EQ((*m_cache.LibraryLists(3))[9], "LIB[4,1]");
  EXPECT_EQ((*m_cache.LibraryLists(0))[0], "*");

  // Without resolution the texts are stored as read.
  ASSERT_TRUE(m_cache.LoadLibraryList(1, true, false, is16Bit));
  EXPECT_EQ((*m_cache.LibraryLists(1))[1], "LIB[3,7]");
  EXPECT_EQ((*m_cache.LibraryLists(1))[2], "LIB[3,11]");
}

TEST_F(ReferenceTest, ALibraryThatRefersToItselfKeepsEveryEntryInPlace) {
  m_dir.WriteCurrent(1, {"LIB[1,3]", "Mitte", "Ende", "LIB[1,1]", "LIB[1,9]"});
  bool is16Bit = false;
  ASSERT_TRUE(m_cache.LoadLibraryList(1, true, true, is16Bit));
  // Each nested load reads the library unresolved; the outer load's complete list wins.
  EXPECT_EQ(ListOf(m_cache, 1),
            (std::vector<std::string>{"*", "LIB[1,3] ---> Ende", "Mitte", "Ende",
                                      "LIB[1,1] ---> LIB[1,3]", "-###LIB[1,9]###-"}));
}

TEST(LoaderReuseTest, AnUnchangedFileGivesItsUnresolvedListWithoutReadingItsEntries) {
  UtilsDirectory dir;
  dir.WriteCurrent(3, {"Eins", "Zwei", "LIB[3,1]"});
  libfile::NativeRecordManager native;
  CountingRecordManager counter(native);
  auto token = std::make_shared<int>(1);
  counter.SetToken(token);
  LibraryCache cache(counter, dir.Utils());
  bool is16Bit = false;

  ASSERT_TRUE(cache.LoadLibraryList(3, true, false, is16Bit));
  const int readsOfFirstLoad = counter.Count(btrieve::kOpGetEqual);
  EXPECT_GE(readsOfFirstLoad, 3);

  // The same token: the entries are not read again, and the list is the same.
  counter.Reset();
  ASSERT_TRUE(cache.LoadLibraryList(3, true, false, is16Bit));
  EXPECT_EQ(counter.Count(btrieve::kOpOpen), 1);
  EXPECT_LT(counter.Count(btrieve::kOpGetEqual), readsOfFirstLoad);
  EXPECT_EQ(ListOf(cache, 3), (std::vector<std::string>{"*", "Eins", "Zwei", "LIB[3,1]"}));

  // Changing the cached list copies it first: the next load still gives the file's texts.
  ASSERT_TRUE(cache.SetText(3, 0, "Bibliotheksnamen"));
  EXPECT_EQ((*cache.LibraryLists(3))[0], "Bibliotheksnamen");
  EXPECT_FALSE(cache.SetText(3, 4, "x"));
  ASSERT_TRUE(cache.LoadLibraryList(3, true, false, is16Bit));
  EXPECT_EQ((*cache.LibraryLists(3))[0], "*");

  // A resolved load builds its list anew from the texts the memo holds, without reading them
  // again: only the references among them are resolved.
  counter.Reset();
  ASSERT_TRUE(cache.LoadLibraryList(3, true, true, is16Bit));
  EXPECT_EQ(counter.Count(btrieve::kOpGetEqual), 0);
  EXPECT_EQ(ListOf(cache, 3),
            (std::vector<std::string>{"*", "Eins", "Zwei", "LIB[3,1] ---> Eins"}));

  // A new token (the file changed) reads the file again.
  dir.WriteCurrent(3, {"Neu"});
  counter.SetToken(std::make_shared<int>(2));
  ASSERT_TRUE(cache.LoadLibraryList(3, true, false, is16Bit));
  EXPECT_EQ(ListOf(cache, 3), (std::vector<std::string>{"*", "Neu"}));

  // When the record manager can tell that the file still matches the token, the file is not even
  // opened.
  counter.SetToken(counter.Snapshot(nullptr), true);
  counter.Reset();
  ASSERT_TRUE(cache.LoadLibraryList(3, true, false, is16Bit));
  EXPECT_EQ(counter.Count(btrieve::kOpOpen), 0);
  EXPECT_EQ(ListOf(cache, 3), (std::vector<std::string>{"*", "Neu"}));
  EXPECT_FALSE(is16Bit);

  // Without a token from the record manager nothing is reused.
  counter.SetToken(nullptr);
  counter.Reset();
  ASSERT_TRUE(cache.LoadLibraryList(3, true, false, is16Bit));
  ASSERT_TRUE(cache.LoadLibraryList(3, true, false, is16Bit));
  EXPECT_GE(counter.Count(btrieve::kOpGetEqual), 2);
}

}  // namespace
}  // namespace core

namespace core {
namespace {

TEST(LoaderReuseTest, OneLoadChecksEachTargetFileOnce) {
  UtilsDirectory dir;
  dir.WriteCurrent(1, {"LIB[3,1]", "LIB[3,2]", "LIB[3,1]", "LIB[3,3]"});
  dir.WriteCurrent(3, {"Eins", "Zwei"});
  libfile::NativeRecordManager native;
  CountingRecordManager counter(native);
  counter.SetToken(std::make_shared<int>(1));
  LibraryCache cache(counter, dir.Utils());
  bool is16Bit = false;

  ASSERT_TRUE(cache.LoadLibraryList(1, true, true, is16Bit));
  // Library 1 once, library 3 at its first reference only.
  EXPECT_EQ(counter.Count(btrieve::kOpOpen), 2);
  EXPECT_EQ(ListOf(cache, 1),
            (std::vector<std::string>{"*", "LIB[3,1] ---> Eins", "LIB[3,2] ---> Zwei",
                                      "LIB[3,1] ---> Eins", "-###LIB[3,3]###-"}));

  // The next load checks the files again.
  counter.Reset();
  ASSERT_TRUE(cache.LoadLibraryList(1, true, true, is16Bit));
  EXPECT_EQ(counter.Count(btrieve::kOpOpen), 2);
}

TEST(LoaderReuseTest, ASettledFileIsCheckedWithoutOpeningIt) {
  UtilsDirectory dir;
  dir.WriteOlder(3, {"Eins", "Zwei"});
  // The record manager keeps the parsed form of a file that has not changed for two seconds.
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  libfile::NativeRecordManager native;
  CountingRecordManager counter(native);
  LibraryCache cache(counter, dir.Utils());
  bool is16Bit = false;

  ASSERT_TRUE(cache.LoadLibraryList(3, true, false, is16Bit));
  ASSERT_TRUE(is16Bit);
  counter.Reset();
  is16Bit = false;
  ASSERT_TRUE(cache.LoadLibraryList(3, true, false, is16Bit));
  EXPECT_EQ(counter.Count(btrieve::kOpOpen), 0);
  EXPECT_TRUE(is16Bit);
  EXPECT_EQ(ListOf(cache, 3), (std::vector<std::string>{"*", "Eins", "Zwei"}));

  // A changed file is read again.
  dir.WriteOlder(3, {"Neu"});
  ASSERT_TRUE(cache.LoadLibraryList(3, true, false, is16Bit));
  EXPECT_GT(counter.Count(btrieve::kOpOpen), 0);
  EXPECT_EQ(ListOf(cache, 3), (std::vector<std::string>{"*", "Neu"}));

  // So is a file that is gone.
  std::filesystem::remove(dir.FileOf(3));
  EXPECT_FALSE(cache.LoadLibraryList(3, true, false, is16Bit));
  EXPECT_FALSE(cache.LibraryLoaded(3));
}

// Within one load each target file is opened and read at most once, whatever came of it: a
// missing and a damaged target fail for every later reference without being opened again; and
// references share their target's text instead of copying it.
TEST(LoaderReuseTest, OneLoadReadsEachTargetOnceWhateverCameOfItAndCopiesNoTargetText) {
  UtilsDirectory dir;
  const std::string longText(60, 'L');
  dir.WriteCurrent(1, {"LIB[7,1]", "LIB[8,1]", "LIB[3,1]", "LIB[7,2]", "LIB[8,1]", "LIB[3,1]"});
  dir.WriteCurrent(3, {longText});
  dir.WriteBytes(8, std::string(4096, '\x5A'));
  libfile::NativeRecordManager native;
  CountingRecordManager counter(native);
  LibraryCache cache(counter, dir.Utils());
  bool is16Bit = false;

  ASSERT_TRUE(cache.LoadLibraryList(1, true, true, is16Bit));
  const int opensOfOneLoad = counter.Count(btrieve::kOpOpen);
  const std::string joined = "LIB[3,1] ---> " + longText;
  EXPECT_EQ(ListOf(cache, 1),
            (std::vector<std::string>{"*", "LIB[7,1] ---> ?????", "LIB[8,1] ---> ?????", joined,
                                      "LIB[7,2] ---> ?????", "LIB[8,1] ---> ?????", joined}));
  // Library 1 once, library 3 once, and each failing target once per class that tries it.
  counter.Reset();
  ASSERT_TRUE(cache.LoadLibraryList(7, true, false, is16Bit) == false);
  ASSERT_TRUE(cache.LoadLibraryList(8, true, false, is16Bit) == false);
  const int opensOfBothFailures = counter.Count(btrieve::kOpOpen);
  EXPECT_EQ(opensOfOneLoad, 2 + opensOfBothFailures);

  const tcodelist& list = *cache.LibraryLists(1);
  EXPECT_EQ(list[3].tail.data(), list[6].tail.data()) << "both show the one stored target text";
  EXPECT_EQ(list[3].tail.size(), longText.size());
}

// A file rewritten, cut short, replaced or removed between two loads gives its new contents or a
// failure, never the old list; and loads while another thread rewrites and replaces the file give
// one of its two versions or a failure, never a mixture or a crash. The files have settled first,
// so that the record manager's reuse of unchanged files is what is put to the test.
// Replaces `to` by `from` through a rename. Windows refuses to replace a file that anyone holds
// open, whatever the sharing, so a program there tries again until the reader has let go.
void ReplaceByRename(const std::string& from, const std::string& to) {
  std::error_code error;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::filesystem::rename(from, to, error);
    if (!error) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  FAIL() << "cannot replace " << to << ": " << error.message();
}

TEST(LoaderChangingFilesTest, NeverServesOldOrMixedContents) {
  const std::vector<std::string> before = {"alt eins", "alt zwei", "alt drei"};
  const std::vector<std::string> after = {"neu eins", "neu zwei", "neu drei"};  // the same sizes
  const std::vector<std::string> longer = {"neu eins", "neu zwei", "neu drei", "neu vier"};
  const auto bytesOf = [](const std::vector<std::string>& texts) {
    UtilsDirectory scratch;
    scratch.WriteCurrent(1, texts);
    std::ifstream in(scratch.FileOf(1), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string bytesBefore = bytesOf(before);
  const std::string bytesAfter = bytesOf(after);
  ASSERT_EQ(bytesBefore.size(), bytesAfter.size());
  const auto withPlaceholder = [](std::vector<std::string> texts) {
    texts.insert(texts.begin(), "*");
    return texts;
  };
  namespace fs = std::filesystem;
  struct Change {
    const char* name;
    std::function<void(const UtilsDirectory&)> apply;
    bool loads;  // false: the documented failure
  };
  const Change changes[] = {
      {"rewritten in place at the same size, its modification time put back",
       [&](const UtilsDirectory& dir) {
         const auto time = fs::last_write_time(dir.FileOf(1));
         std::fstream file(dir.FileOf(1), std::ios::in | std::ios::out | std::ios::binary);
         file.write(bytesAfter.data(), static_cast<std::streamsize>(bytesAfter.size()));
         file.close();
         fs::last_write_time(dir.FileOf(1), time);
       },
       true},
      {"replaced by rename",
       [&](const UtilsDirectory& dir) {
         std::ofstream(dir.Path() + "/new.tmp", std::ios::binary) << bytesAfter;
         ReplaceByRename(dir.Path() + "/new.tmp", dir.FileOf(1));
       },
       true},
      {"cut short", [&](const UtilsDirectory& dir) { fs::resize_file(dir.FileOf(1), 700); }, false},
      {"removed", [&](const UtilsDirectory& dir) { fs::remove(dir.FileOf(1)); }, false},
  };
  std::vector<std::unique_ptr<UtilsDirectory>> dirs;
  for (std::size_t i = 0; i < std::size(changes); ++i) {
    dirs.push_back(std::make_unique<UtilsDirectory>());
    dirs.back()->WriteCurrent(1, before);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  libfile::NativeRecordManager native;
  bool is16Bit = false;
  for (std::size_t i = 0; i < std::size(changes); ++i) {
    LibraryCache cache(native, dirs[i]->Utils());
    ASSERT_TRUE(cache.LoadLibraryList(1, true, false, is16Bit)) << changes[i].name;
    changes[i].apply(*dirs[i]);
    EXPECT_EQ(cache.LoadLibraryList(1, true, false, is16Bit), changes[i].loads) << changes[i].name;
    EXPECT_EQ(ListOf(cache, 1),
              changes[i].loads ? withPlaceholder(after) : std::vector<std::string>{})
        << changes[i].name;
  }

  // During loads: a writer rewrites the file in place and replaces it, alternating two versions.
  UtilsDirectory dir;
  dir.WriteCurrent(1, before);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int round = 0; !stop; ++round) {
      const std::string& bytes = round % 2 == 0 ? bytesOf(longer) : bytesBefore;
      if (round % 4 < 2) {
        std::ofstream(dir.FileOf(1), std::ios::binary | std::ios::trunc) << bytes;
      } else {
        std::ofstream(dir.Path() + "/new.tmp", std::ios::binary) << bytes;
        ReplaceByRename(dir.Path() + "/new.tmp", dir.FileOf(1));
      }
      // As a program saving its file would: not twice within the clock tick of file times.
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  LibraryCache cache(native, dir.Utils());
  int loaded = 0;
  for (int i = 0; i < 300; ++i) {
    if (!cache.LoadLibraryList(1, true, false, is16Bit)) continue;
    const std::vector<std::string> list = ListOf(cache, 1);
    EXPECT_TRUE(list == withPlaceholder(before) || list == withPlaceholder(longer))
        << ::testing::PrintToString(list);
    ++loaded;
  }
  stop = true;
  writer.join();
  RecordProperty("loaded", loaded);
}

}  // namespace
}  // namespace core
