// The caption heads, character by character, for every occasion with and without a name, and the
// conversion of texts and paths to what the window shows.
#include "viewer/core/caption.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace viewer {
namespace {

TEST(CaptionHead, JoinsThePiecesOfEachOccasion) {
  using enum CaptionOccasion;
  struct Case {
    CaptionOccasion occasion;
    std::optional<std::string> name;
    int library;
    int index;
    const char* head;
  };
  const std::nullopt_t none = std::nullopt;
  const Case cases[] = {
      {kCreation, "Bibliotheksnamen", 0, 3, "Bibliotheksnamen  $00 LIB[0,3]"},
      {kCreation, none, 26, 5, "  $1A LIB[26,5]"},
      {kCreation, "Farben", 26, -2, "Farben  $1A LIB[26,-2]"},
      {kCreation, "Letzte", 255, 0, "Letzte  $FF LIB[255,0]"},
      {kLibraryRefresh, "Farben", 26, 5, "Farben  $1A LIB[26,5]"},
      {kLibraryRefresh, none, 26, 5, "  $1A LIB[26,5]"},
      {kLibraryRefresh, "Farben", 26, -1, "Farben  $1A LIB[26,-1]"},
      {kCatalogueRefresh, "Bibliotheksnamen", 0, 26, "Bibliotheksnamen  KL71A  LIB[0,26]"},
      {kCatalogueRefresh, "Bibliotheksnamen", 0, -1, "Bibliotheksnamen  KL7FFFFFFFF  LIB[0,-1]"},
      {kCatalogueRefresh, "Bibliotheksnamen", 0, 300, "Bibliotheksnamen  KL712C  LIB[0,300]"},
      {kCatalogueRefresh, none, 0, 5, "  KL705  LIB[0,5]"},
      {kOpened, "Farben", 26, 17, "Farben  $1A LIB[26,0]"},
      {kOpened, none, 26, 17, "  $1A LIB[26,0]"},
      {kBack, "Bibliotheksnamen", 26, 9, "Bibliotheksnamen  $1A LIB[26,0]"},
      {kCreation, "", 1, 1, "  $01 LIB[1,1]"},  // an empty name is still a name
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.head);
    EXPECT_EQ(CaptionHead(c.occasion, c.name, static_cast<std::uint8_t>(c.library), c.index),
              c.head);
  }
}

TEST(CaptionNumbers, HexAndDecimal) {
  struct Case {
    std::int32_t value;
    const char* hex;
    const char* decimal;
  };
  const Case cases[] = {
      {0, "00", "0"},
      {10, "0A", "10"},
      {256, "100", "256"},
      {-1, "FFFFFFFF", "-1"},
      {-2, "FFFFFFFE", "-2"},
      {2147483647, "7FFFFFFF", "2147483647"},
      {-2147483647 - 1, "80000000", "-2147483648"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HexX2(c.value), c.hex);
    EXPECT_EQ(DecimalD(c.value), c.decimal);
  }
}

TEST(ShownText, CodePageAndPaths) {
  EXPECT_EQ(ShownText("Gr\xFCn \x80 \x81"), u"Grün € \u0081");
  EXPECT_EQ(ShownPath("/B\xC3\xBC"
                      "cher/\xF0\x9F\x93\x9A/"),
            u"/Bücher/\U0001F4DA/");
  EXPECT_EQ(ShownPath("/B\xFC/"), u"/B\uFFFD/");
}

TEST(ElidedCaption, CutsTheDirectorysStartAsLittleAsFits) {
  struct Case {
    std::u16string_view caption;
    std::size_t directoryLength;
    std::size_t width;  // how many characters fit
    std::u16string_view drawn;
  };
  const Case cases[] = {
      {u"Farben  -  /home/b/utils/", 14, 25, u"Farben  -  /home/b/utils/"},
      {u"Farben  -  /home/b/utils/", 14, 20, u"Farben  -  \u2026b/utils/"},
      {u"Farben  -  /home/b/utils/", 14, 13, u"Farben  -  \u2026/"},
      {u"Farben  -  /home/b/utils/", 14, 5, u"Farben  -  \u2026"},
      {u"Farben  -  /home/b/utils/", 0, 5, u"Farben  -  /home/b/utils/"},
      // A surrogate pair is cut whole.
      {u"A  -  /\U0001F600/x/", 6, 11, u"A  -  \u2026/x/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8FromShown(c.drawn));
    const auto fits = [&](std::u16string_view text) { return text.size() <= c.width; };
    EXPECT_EQ(ElidedCaption(c.caption, c.directoryLength, fits), c.drawn);
  }
}

}  // namespace
}  // namespace viewer
