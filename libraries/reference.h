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

}  // namespace core
