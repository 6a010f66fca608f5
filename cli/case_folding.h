// Unicode case folding for kl7 find: a text matches when the folded search text occurs in the
// folded entry text, so "ÄRGER", "ärger" and "Ärger" find one another, and "STRASSE" finds
// "Straße".
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace cli {

class FoldedNeedle {
 public:
  // `utf8` is the search text as given on the command line (UTF-8).
  explicit FoldedNeedle(std::string_view utf8);
  ~FoldedNeedle();
  FoldedNeedle(const FoldedNeedle&) = delete;
  FoldedNeedle& operator=(const FoldedNeedle&) = delete;

  // Whether the entry text `cp1252` (Windows-1252 bytes) contains the search text, both folded.
  [[nodiscard]] bool FoundIn(std::string_view cp1252) const;

 private:
  struct Folded;
  std::unique_ptr<Folded> m_folded;
};

// The folded form of the entry text `cp1252` (Windows-1252 bytes) as UTF-8: what FoundIn searches.
// The html export hands these to its page, whose search folds the search text by the same rules.
[[nodiscard]] std::string FoldedUtf8(std::string_view cp1252);

}  // namespace cli
