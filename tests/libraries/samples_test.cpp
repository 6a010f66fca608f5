// The bundled sample libraries load as a host's library set would: both layouts, both record-file
// formats, and references with every outcome.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "libfile/library_file.h"
#include "libfile/record_manager.h"
#include "libraries/library_cache.h"
#include "text/codepage.h"

namespace core {
namespace {

std::string Utf8(std::string_view cp1252) {
  return text::Cp1252ToUtf8(cp1252);
}

class SamplesTest : public ::testing::Test {
 protected:
  libfile::NativeRecordManager m_native;
  LibraryCache m_cache{m_native, KL7_SAMPLES_DIR "/"};
};

TEST_F(SamplesTest, EveryCatalogueLibraryLoadsInItsLayout) {
  bool is16Bit = false;
  ASSERT_TRUE(m_cache.LoadLibraryList(0, true, true, is16Bit));
  const tcodelist catalogue = *m_cache.LibraryLists(0);
  ASSERT_GE(catalogue.Count(), 7u);
  EXPECT_EQ(Utf8(catalogue[3].String()), "Maßeinheiten");

  const std::vector<bool> older = {false, false, true, false, false, true, false, false};
  for (std::uint8_t number = 1; number < catalogue.Count(); ++number) {
    ASSERT_TRUE(m_cache.LoadLibraryList(number, true, true, is16Bit)) << int(number);
    EXPECT_EQ(is16Bit, older.at(number)) << int(number);
    EXPECT_GT(m_cache.LibraryLists(number)->Count(), 5u) << int(number);
  }
}

// Both layouts' bulk readers give every sample library's entries as reading them one by one does.
TEST_F(SamplesTest, BulkReadersGiveWhatEntryReadsGive) {
  libfile::LibraryFileContext context(m_native);
  std::vector<std::byte> header(65529);
  for (int number = 0; number <= 7; ++number) {
    const std::string name = std::string(KL7_SAMPLES_DIR "/KL70") + std::to_string(number) + ".DAT";
    using Reads = std::vector<std::pair<bool, std::vector<std::byte>>>;
    const auto read = [&](bool inOneRun) {
      std::int32_t count = 0;
      return libfile::OpenLibraryFile(context, name, header, count, [&](auto& file, bool) {
        Reads reads;
        std::vector<std::byte> buffer(65529);
        std::array<std::byte, std::decay_t<decltype(file)>::kTrailerLength> trailer{};
        if (inOneRun) {
          file.ReadEntries(count, buffer, [&](std::int32_t, bool arrived, auto) {
            reads.emplace_back(arrived, buffer);
          });
        } else {
          for (std::int32_t k = 1; k <= count; ++k) {
            const bool arrived = file.ReadEntry(k, buffer, trailer);
            reads.emplace_back(arrived, buffer);
          }
        }
        return reads;
      });
    };
    const Reads perEntry = read(false);
    EXPECT_GT(perEntry.size(), 5u) << name;
    EXPECT_TRUE(read(true) == perEntry) << name;
  }
}

TEST_F(SamplesTest, TheTextLibraryShowsEveryReferenceOutcome) {
  bool is16Bit = false;
  ASSERT_TRUE(m_cache.LoadLibraryList(6, true, true, is16Bit));
  std::vector<std::string> texts;
  for (const std::string& entry : m_cache.LibraryLists(6)->Items())
    texts.push_back(Utf8(entry));
  EXPECT_EQ(texts[2], "LIB[4,2] ---> Zahlbar innerhalb 14 Tagen mit 2 % Skonto, 30 Tage netto");
  EXPECT_EQ(texts[3], "LIB[1,2] als Standardfarbe ---> Grün");
  EXPECT_EQ(texts[4], "LIB[5,4] ---> Express „24 Stunden“");
  EXPECT_EQ(texts[5], "Preise in € zuzüglich der gesetzlichen Mehrwertsteuer.");
  EXPECT_EQ(texts[7], "-###LIB[3,99]###-");
  EXPECT_EQ(texts[8], "LIB[9,1] ---> ?????");
  EXPECT_EQ(texts[9], "LIB[0,6] ---> Textbausteine");
  EXPECT_EQ(texts[10], "LIB[2,8] ---> -######-");
  EXPECT_EQ(texts[12], "-######-");
}

// Forwards every call and has no bulk path of its own, so the loader reads one entry per call.
class PerEntryRecordManager final : public libfile::RecordManager {
 public:
  [[nodiscard]] std::uint16_t Call(std::uint16_t operation, void* positionBlock, void* dataBuffer,
                                   std::uint32_t* dataLength, void* keyBuffer,
                                   std::uint8_t keyLength, std::int8_t keyNumber) override {
    return m_native.Call(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                         keyNumber);
  }

 private:
  libfile::NativeRecordManager m_native;
};

TEST_F(SamplesTest, EveryLibraryReadsInOneRunAsItDoesEntryByEntry) {
  PerEntryRecordManager perEntry;
  LibraryCache byEntry{perEntry, KL7_SAMPLES_DIR "/"};
  for (const bool resolve : {false, true}) {
    for (int number = 0; number < 256; ++number) {
      SCOPED_TRACE(number);
      bool bulk16 = false;
      bool entry16 = false;
      const auto n = static_cast<std::uint8_t>(number);
      const bool loaded = m_cache.LoadLibraryList(n, true, resolve, bulk16);
      ASSERT_EQ(byEntry.LoadLibraryList(n, true, resolve, entry16), loaded);
      EXPECT_EQ(bulk16, entry16);
      EXPECT_EQ(m_cache.LastLoadStatus(), byEntry.LastLoadStatus());
      if (loaded) {
        EXPECT_EQ(m_cache.LibraryLists(n)->Items(), byEntry.LibraryLists(n)->Items());
      }
    }
  }
}

}  // namespace
}  // namespace core
