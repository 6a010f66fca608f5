// Paths for std::filesystem from the UTF-8 strings the programs keep, and names back to UTF-8. On
// Windows a narrow path would be read in the ANSI code page, and a long one refused by the plain
// calls; on POSIX systems the bytes pass unchanged.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace startup {

// `utf8` as a path for the file system; on Windows one whose full form is too long for the plain
// calls gets the "\\?\" form. Never throws: text that is no UTF-8 is passed on as it is.
[[nodiscard]] std::filesystem::path NativePath(std::string_view utf8);

// A path (a name from a directory listing) in UTF-8.
[[nodiscard]] std::string Utf8Path(const std::filesystem::path& path);

}  // namespace startup
