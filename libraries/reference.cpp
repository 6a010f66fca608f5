// Reading LIB[n,m] out of an entry text.
#include "libraries/reference.h"

#include "text/number.h"

namespace core {

std::optional<Reference> ParseReference(std::string_view text) {
  if (!text.starts_with("LIB")) return std::nullopt;
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  const std::size_t open = text.find('[');
  const std::size_t close = text.find(']');

  // The library piece lies between "[" and ","; without "[" it starts at the beginning of the
  // text (and so with "LIB", which never converts); a "[" after the "," leaves it empty.
  std::string_view libraryPiece;
  if (open == std::string_view::npos) {
    libraryPiece = text.substr(0, comma);
  } else if (open < comma) {
    libraryPiece = text.substr(open + 1, comma - open - 1);
  }
  const text::NumberConversion library = text::ConvertNumber(libraryPiece);
  if (!library.ok) return std::nullopt;

  std::string_view entryPiece;
  if (close != std::string_view::npos && close > comma) {
    entryPiece = text.substr(comma + 1, close - comma - 1);
  }
  // The entry number is taken as read, also when its conversion stopped at a bad character.
  return Reference{library.value, text::ConvertNumber(entryPiece).value};
}

std::string_view ReferenceOutcomeName(ReferenceOutcome outcome) {
  switch (outcome) {
    case ReferenceOutcome::kNotAReference:
      return "not-a-reference";
    case ReferenceOutcome::kResolved:
      return "resolved";
    case ReferenceOutcome::kTargetUnreadable:
      return "target-unreadable";
    case ReferenceOutcome::kEntryBeyondLibrary:
      return "entry-beyond-library";
    case ReferenceOutcome::kEntryNotPositive:
      return "entry-not-positive";
    case ReferenceOutcome::kLibraryNegative:
      return "library-negative";
    case ReferenceOutcome::kLibraryAbove255:
      return "library-above-255";
    case ReferenceOutcome::kLibraryOutsideTables:
      return "library-outside-tables";
  }
  return "not-a-reference";
}

}  // namespace core
