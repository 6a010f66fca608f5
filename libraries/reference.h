// The shape of a cross-library reference: a text that begins with "LIB" and names its target in
// square brackets, library first, entry second, as in LIB[3,7].
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace core {

struct Reference {
  std::int32_t library = 0;  // n, as converted (may be negative or above 255)
  std::int32_t entry = 0;    // m, the value read whether or not its conversion succeeded
};

// The target named by `text`, or nothing when `text` is no reference: it does not begin with
// "LIB", holds no ",", or the piece between the first "[" and the first "," (from the start of
// the text when there is no "[") is no number. A "[" after the "," leaves that piece empty; the
// entry piece runs from the "," to the first "]" and is empty when "]" is missing or stands before
// the ",". Whatever follows "]" plays no part.
[[nodiscard]] std::optional<Reference> ParseReference(std::string_view text);

// What resolution makes of a text, by its cause. Only kResolved, kTargetUnreadable and
// kEntryBeyondLibrary change the text; every other outcome leaves it as it is.
enum class ReferenceOutcome {
  kNotAReference,       // no "LIB" at the start, no ",", or a library number that does not convert
  kResolved,            // the target entry exists: its text is joined on
  kTargetUnreadable,    // the target library's file could not be read: the mark is joined on
  kEntryBeyondLibrary,  // the entry number lies beyond the library's last entry: emptied
  kEntryNotPositive,    // the entry number is 0 or negative (the library was read)
  kLibraryNegative,     // the library number is negative (the file of its low 8 bits was read)
  kLibraryAbove255,     // 256 to 500: the file of its low 8 bits was read, but no library has it
  kLibraryOutsideTables,  // above 500 (the file of its low 8 bits was read)
};

// A stable lower-case name of `outcome` for output ("resolved", "target-unreadable", ...).
[[nodiscard]] std::string_view ReferenceOutcomeName(ReferenceOutcome outcome);

}  // namespace core
