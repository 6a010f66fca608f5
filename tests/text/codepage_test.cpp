// Windows-1252 conversion: the table, round trips of every byte, and the UTF-8 and UTF-16 texts.
#include "text/codepage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace text {
namespace {

TEST(Codepage, MapsHighBytesToTheirCharacters) {
  const struct {
    std::uint8_t byte;
    char16_t character;
  } cases[] = {
      {0x00, u'\u0000'}, {0x41, u'A'},      {0x7F, u'\u007F'}, {0x80, u'\u20AC'}, {0x81, u'\u0081'},
      {0x82, u'\u201A'}, {0x8A, u'\u0160'}, {0x8D, u'\u008D'}, {0x8E, u'\u017D'}, {0x8F, u'\u008F'},
      {0x90, u'\u0090'}, {0x93, u'\u201C'}, {0x96, u'\u2013'}, {0x99, u'\u2122'}, {0x9D, u'\u009D'},
      {0x9F, u'\u0178'}, {0xA0, u'\u00A0'}, {0xC4, u'\u00C4'}, {0xDF, u'\u00DF'}, {0xFF, u'\u00FF'},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Cp1252ToUnicode(c.byte), c.character) << int{c.byte};
  }
}

TEST(Codepage, EveryByteRoundTrips) {
  for (int b = 0; b <= 0xFF; ++b) {
    const auto byte = static_cast<std::uint8_t>(b);
    EXPECT_EQ(UnicodeToCp1252(Cp1252ToUnicode(byte)), std::optional<std::uint8_t>(byte)) << b;
  }
}

TEST(Codepage, HighBytesMapToDistinctCharacters) {
  // 0x80 to 0x9F is where the table differs from Latin-1; no two bytes there may share a character.
  std::u16string seen;
  for (int b = 0x80; b <= 0x9F; ++b) {
    const char16_t c = Cp1252ToUnicode(static_cast<std::uint8_t>(b));
    EXPECT_EQ(seen.find(c), std::u16string::npos) << b;
    seen += c;
  }
}

TEST(Codepage, CharactersOutsideTheCodePageHaveNoByte) {
  for (const char16_t c :
       {u'\u0080', u'\u0083', u'\u009F', u'\u0100', u'\u20AB', char16_t{0xD800}, u'\uFFFF'}) {
    EXPECT_EQ(UnicodeToCp1252(c), std::nullopt) << int{c};
  }
}

TEST(Codepage, ConvertsTextsToUtf16AndBack) {
  const std::string bytes =
      "Gr\xF6\xDF"
      "e \x80 \x84"
      "a\x93 \x81\x9D";
  const std::u16string utf16 = u"Gr\u00F6\u00DFe \u20AC \u201Ea\u201C \u0081\u009D";
  EXPECT_EQ(Cp1252ToUtf16(bytes), utf16);
  EXPECT_EQ(Utf16ToCp1252(utf16), bytes);
  EXPECT_EQ(Utf16ToCp1252(u"a\u4E00b"), std::nullopt);
}

TEST(Codepage, ConvertsTextsToUtf8AndBack) {
  const std::string bytes = std::string("A\0\xE4\x80\x9F", 5);
  const std::string utf8 = std::string("A\0\xC3\xA4\xE2\x82\xAC\xC5\xB8", 9);
  EXPECT_EQ(Cp1252ToUtf8(bytes), utf8);
  EXPECT_EQ(Utf8ToCp1252(utf8), bytes);

  std::string all;
  for (int b = 0; b <= 0xFF; ++b)
    all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

TEST(Codepage, RejectsMalformedOrUnmappableUtf8) {
  for (const char* bad : {"\x80", "\xC3", "\xC3(", "\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80",
                          "\xF4\x90\x80\x80", "\xF0\x9F\x98\x80", "\xE4\xB8\x80", "\xFF"}) {
    EXPECT_EQ(Utf8ToCp1252(bad), std::nullopt) << bad;
  }
}

TEST(Codepage, DecodesUtf8ToCharactersReplacingMalformedBytes) {
  EXPECT_EQ(Utf8ToUtf32("Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80"), U"Grüß € \U0001F600");
  // A stray continuation byte, a cut sequence and an overlong form each read as U+FFFD.
  EXPECT_EQ(Utf8ToUtf32("a\x80"
                        "b\xC3"),
            U"a\uFFFDb\uFFFD");
  EXPECT_EQ(Utf8ToUtf32("\xC0\xAF"), U"\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToUtf32(""), U"");
}

}  // namespace
}  // namespace text
