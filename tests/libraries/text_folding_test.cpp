// Case-insensitive search by Unicode case folding over Windows-1252 entry texts, and the German
// folding on top of it.
#include "libraries/text_folding.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace core {
namespace {

struct FoldCase {
  std::string needle;    // UTF-8, as typed
  std::string haystack;  // Windows-1252, as stored
  bool found;
};

TEST(TextFolding, MatchesAcrossLetterCaseUmlautsAndSharpS) {
  const std::vector<FoldCase> cases = {
      {"rot", "ROT", true},
      {"ÄRGER", "\xE4rger", true},
      {"öl", "\xD6L", true},
      {"Über",
       "\xFC"
       "ber",
       true},
      {"strasse",
       "Stra\xDF"
       "e",
       true},
      {"STRASSE",
       "Stra\xDF"
       "e",
       true},
      {"straße", "STRASSE", true},
      {"STRAẞE",
       "stra\xDF"
       "e",
       true},
      {"œuvre",
       "\x8C"
       "UVRE",
       true},
      {"ÿ", "\x9F", true},
      {"€ 5", "Preis \x80 5", true},
      {"„zitat“", "\x84Zitat\x93", true},
      {"–", "a \x96 b", true},
      {"Š", "\x9A", true},          // š
      {"ž", "\x8E", true},          // Ž
      {"Ÿ", "\xFF", true},          // ÿ
      {"Ƒ", "\x83", true},          // ƒ
      {"μ", "5 \xB5m", true},       // the micro sign folds to mu
      {"\u212A", "k", true},        // Kelvin sign
      {"\u017Fein", "SEIN", true},  // long s
      {"ﬁsch", "FISCH", true},      // ligature
      // A malformed search text matches nothing.
      {"\xFF"
       "bad",
       "\xFF"
       "bad",
       false},
      {"", "anything", true},
      {"grün", "gruen", false},
      {"a", "", false},
      {"ä", "a", false},
  };
  for (const FoldCase& c : cases) {
    EXPECT_EQ(FoldedNeedle(c.needle).FoundIn(c.haystack), c.found)
        << c.needle << " in " << c.haystack;
  }
}

}  // namespace
}  // namespace core

namespace core {
namespace {

TEST(TextFolding, GermanFoldingLetsTwoLettersStandForUmlautsAndSharpS) {
  struct Case {
    std::string needle;    // UTF-8
    std::string haystack;  // Windows-1252
    bool found;            // with the German folding; the case folding finds none of them
  };
  const std::vector<Case> cases = {
      {"grün", "GRUEN", true},
      {"gruen", "Gr\xFCn", true},
      {"OEL", "\xF6l", true},
      {"Ärger", "aerger", true},
      {"strasse",
       "STRA\xDF"
       "E",
       true},
      {"u", "\xFC", true},  // ü is ue, which holds a u
      {"ü", "u", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FoldedNeedle(c.needle, Folding::kUmlaut).FoundIn(c.haystack), c.found)
        << c.needle << " in " << c.haystack;
  }
  EXPECT_FALSE(FoldedNeedle("grün").FoundIn("GRUEN"));
  EXPECT_EQ(FoldedUtf8("Gr\xDC\xDF", Folding::kUmlaut), "gruess");
}

TEST(TextFolding, EqualsComparesTheWholeFoldedText) {
  EXPECT_TRUE(
      FoldedNeedle("strasse").Equals("Stra\xDF"
                                     "e"));
  EXPECT_FALSE(
      FoldedNeedle("strass").Equals("Stra\xDF"
                                    "e"));
  EXPECT_TRUE(FoldedNeedle("").Equals(""));
  EXPECT_TRUE(FoldedNeedle("GRUEN", Folding::kUmlaut).Equals("gr\xFCn"));
}

}  // namespace
}  // namespace core

namespace core {
namespace {

// One character of the Basic Multilingual Plane as UTF-8.
std::string Utf8Of(char32_t c) {
  std::string utf8;
  if (c < 0x80) {
    utf8 += static_cast<char>(c);
  } else if (c < 0x800) {
    utf8 += static_cast<char>(0xC0 | (c >> 6));
    utf8 += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    utf8 += static_cast<char>(0xE0 | (c >> 12));
    utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (c & 0x3F));
  }
  return utf8;
}

// The table that the html page searches with is the folding itself, character by character.
TEST(TextFolding, TableHoldsEveryCharacterThatFoldsToAnother) {
  for (const Folding folding : {Folding::kCase, Folding::kUmlaut}) {
    const std::vector<std::pair<char32_t, std::u32string>> table = FoldingTable(folding);
    std::size_t at = 0;
    for (char32_t c = 0; c < 0x10000; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      const std::u32string expected = FoldUtf8(Utf8Of(c), folding);
      if (expected == std::u32string(1, c)) continue;
      ASSERT_LT(at, table.size());
      EXPECT_EQ(table[at].first, c);
      EXPECT_EQ(table[at].second, expected);
      ++at;
    }
    EXPECT_EQ(at, table.size());
  }
  EXPECT_EQ(FoldingTable(Folding::kUmlaut).size(), FoldingTable().size() + 3);  // ä, ö, ü
}

}  // namespace
}  // namespace core
