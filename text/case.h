// Letter case as the library files and paths use it: only the ASCII letters a to z have a case.
#pragma once

#include <string>
#include <string_view>

namespace text {

// `text` with "a" to "z" replaced by "A" to "Z"; every other byte, accented letters included,
// stays.
[[nodiscard]] std::string UpperCase(std::string_view text);

// True when `a` and `b` are equal once both are upper-cased as UpperCase does.
[[nodiscard]] bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace text
