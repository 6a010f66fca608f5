// The start-up sequence: from the command-line arguments to the library and entry shown first and
// the utilities directory, or to the decision that the program ends at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "startup/directory_lookup.h"
#include "startup/paths.h"
#include "startup/settings.h"

namespace startup {

// The Settings key that holds the utilities directory, ending in the path style's separator.
inline constexpr std::string_view kUtilsKey = "UTILS";

// What start-up settles before the window opens. The program keeps one of these for its whole run.
struct StartupValues {
  Settings settings;                // holds at most the line "UTILS=<directory>"
  std::uint8_t CurrentLibrary = 0;  // library shown first; 0 is the catalogue
  std::int32_t CurrentEntry = 0;    // entry selected when the window opens
};

// Runs the start-up sequence on `arguments` (without the program's own path). Empty means "end":
// the program stops at once, without a window or message, with exit status 0.
//
// Two forms are accepted:
// - A library file: one or two arguments, the first one's file name "KL7", two hexadecimal digits
// and
//   ".DAT" in any letter case. Selects that library, entry 0; UTILS is the first argument's
//   directory part as passed (no UTILS line when it has none). A second argument is ignored.
// - A library reference: exactly two arguments, the first starting with "LIB" in any letter case,
//   normally LIB[n,m] (library n modulo 256, entry m; LIB, LIB[, LIB[n, LIB[n, and LIB[n] give
//   entry 0, LIB and LIB[ library 0). UTILS is found by walking up from the directory part of the
//   second argument (which is always taken as a file path) to the first directory holding "utils".
//   The walk stops when the directory has fewer than 3 characters or can no longer be shortened; it
//   then writes that directory followed by "utils" untested. An empty directory ends the program.
//
// Windows style: "\" and ":" separate, the walk's directories are upper-cased and UTILS always ends
// in "utils\". POSIX style: "/" separates, paths keep their letter case, the walk accepts a "utils"
// directory in any letter case and UTILS takes its own spelling (plain "utils/" when none was
// found). Numbers in the reference are read by text::ConvertNumber; any failure ends the program.
[[nodiscard]] std::optional<StartupValues> RunStartup(const std::vector<std::string>& arguments,
                                                      PathStyle style, DirectoryLookup& lookup);

}  // namespace startup
