// Paths for std::filesystem from the UTF-8 strings the programs keep, and names back to UTF-8. On
// Windows a narrow path would be read in the ANSI code page, and a long one refused by the plain
// calls; on POSIX systems the bytes pass unchanged.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace startup {

// `utf8` as a path for the file system; on Windows one whose full form is too long for the plain
// calls gets the "\\?\" form. Never throws: text that is no UTF-8 is passed on as it is.
[[nodiscard]] std::filesystem::path NativePath(std::string_view utf8);

// A path (a name from a directory listing) in UTF-8.
[[nodiscard]] std::string Utf8Path(const std::filesystem::path& path);

// One entry of a directory listing.
struct DirectoryEntry {
  std::string name;          // UTF-8
  bool isDirectory = false;  // a link to a directory counts as one
};

// The entries of `directory` (UTF-8; empty: the current one) whose names `wanted` accepts ("." and
// ".." never), in the order the system gives them; only those are asked whether they are
// directories. Nothing when it cannot be listed; `error` then says why. On Windows through the
// system's own listing, which takes long paths.
[[nodiscard]] std::optional<std::vector<DirectoryEntry>> ListDirectory(
    std::string_view directory, const std::function<bool(const std::string&)>& wanted,
    std::error_code& error);

}  // namespace startup
