// Case-insensitive search by Unicode case folding over Windows-1252 entry texts, and the German
// folding on top of it.
#include "libraries/text_folding.h"

#include <gtest/gtest.h>

#include <string>
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
