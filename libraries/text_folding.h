// The folding by which texts are searched, in kl7 find, the html export's page and the window: a
// text matches when the folded search text occurs in (or, whole, equals) the folded entry text, so
// "ÄRGER", "ärger" and "Ärger" find one another, and "STRASSE" finds "Straße". The German folding
// also lets "ue", "oe", "ae" and "ss" stand for "ü", "ö", "ä" and "ß" and the other way round.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace core {

enum class Folding {
  kCase,    // full Unicode case folding
  kUmlaut,  // case folding, then ä, ö, ü as ae, oe, ue (ß is ss already)
};

// The folded characters of a search text as typed (UTF-8; a malformed sequence reads as U+FFFD,
// which no entry text holds).
[[nodiscard]] std::u32string FoldUtf8(std::string_view utf8, Folding folding = Folding::kCase);

// The folded characters of an entry text (Windows-1252 bytes).
[[nodiscard]] std::u32string FoldCp1252(std::string_view cp1252, Folding folding = Folding::kCase);

class FoldedNeedle {
 public:
  // `utf8` is the search text as typed (UTF-8).
  explicit FoldedNeedle(std::string_view utf8, Folding folding = Folding::kCase);

  // Whether the entry text `cp1252` (Windows-1252 bytes) contains the search text, both folded.
  [[nodiscard]] bool FoundIn(std::string_view cp1252) const;
  // Whether the entry text `cp1252`, folded, is the folded search text.
  [[nodiscard]] bool Equals(std::string_view cp1252) const;

 private:
  std::u32string m_needle;
  Folding m_folding;
};

// Every character whose folding is not the character itself, with its folding, in code point
// order: the whole folding as a table, for a search made elsewhere (the html export's page). All
// such characters lie in the Basic Multilingual Plane.
[[nodiscard]] std::vector<std::pair<char32_t, std::u32string>> FoldingTable(
    Folding folding = Folding::kCase);

// The folded form of the entry text `cp1252` (Windows-1252 bytes) as UTF-8: what FoundIn searches.
// The html export hands these to its page, whose search folds the search text by the same rules.
[[nodiscard]] std::string FoldedUtf8(std::string_view cp1252, Folding folding = Folding::kCase);

// UTF-8 of characters of the Basic Multilingual Plane (all that a folding yields).
[[nodiscard]] std::string BmpUtf8(std::u32string_view characters);

}  // namespace core
