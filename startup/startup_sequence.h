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

// Why an argument list cannot be used; each kind has its own line for the user.
enum class StartupFailure {
  kNone,
  kNoArguments,
  kTooManyArguments,      // more than two
  kUnknownForm,           // the first is neither a library file nor a reference
  kMalformedFileName,     // not exactly two characters between "KL7" and ".DAT", or more after it
  kNotHexadecimal,        // the two characters are not hexadecimal digits
  kReferenceWithoutPath,  // a reference without the second argument
  kBadLibraryNumber,      // the reference's library number does not convert
  kBadEntryNumber,        // the reference's entry number does not convert
  kNoDirectoryPart,       // the second argument has no directory part
  kWalkEndedEmpty,        // the walk up a relative path ran out of directories
};

// The result of start-up: the values when the window opens, otherwise why it does not.
struct StartupOutcome {
  std::optional<StartupValues> values;
  StartupFailure failure = StartupFailure::kNone;
  // One line (no line break, no control characters) that tells the user why, quoting the argument
  // at fault; empty when `values` is set.
  std::string reason;
};

// Runs the start-up sequence on `arguments` (without the program's own path). Without values the
// program ends at once, without a window, with exit status 0.
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
[[nodiscard]] StartupOutcome RunStartup(const std::vector<std::string>& arguments, PathStyle style,
                                        DirectoryLookup& lookup);

}  // namespace startup
