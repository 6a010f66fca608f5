// Path helpers for the two path styles that start-up understands: Windows ("\" and ":" separate,
// letter case is not significant) and POSIX ("/" separates, letter case is significant).
#pragma once

#include <string>
#include <string_view>

namespace startup {

enum class PathStyle {
  kWindows,
  kPosix,
};

// The separator that WithSeparator appends: "\" or "/".
[[nodiscard]] char Separator(PathStyle style);

// `path` with the style's separator appended, unless it is empty or already ends with it.
[[nodiscard]] std::string WithSeparator(std::string_view path, PathStyle style);

// `path` without its last character when that is the style's separator (one at most); else
// unchanged.
[[nodiscard]] std::string WithoutSeparator(std::string_view path, PathStyle style);

// The Windows forms of the two above.
[[nodiscard]] std::string WithBackslash(std::string_view path);
[[nodiscard]] std::string WithoutBackslash(std::string_view path);

// Everything up to and including the last separator ("\" or ":" in Windows style, "/" in POSIX
// style); empty when there is none.
[[nodiscard]] std::string DirectoryPart(std::string_view path, PathStyle style);

// Everything after that last separator; the whole path when there is none.
[[nodiscard]] std::string FileNamePart(std::string_view path, PathStyle style);

// The style of the system the program runs on.
#if defined(_WIN32)
inline constexpr PathStyle kSystemPathStyle = PathStyle::kWindows;
#else
inline constexpr PathStyle kSystemPathStyle = PathStyle::kPosix;
#endif

// Paths as the file system takes them, for a program that hands the user's paths to it as given:
// in Windows style "/" separates too, beside "\" and a drive's ":"; in POSIX style "/" alone.
// Everything up to and including the last separator (empty when there is none), and the rest.
[[nodiscard]] std::string FileSystemDirectoryPart(std::string_view path, PathStyle style);
[[nodiscard]] std::string FileSystemNamePart(std::string_view path, PathStyle style);

// `directory` ready for a name to be appended: unchanged when it is empty or ends with a separator,
// else with the separator it already uses ("\" in Windows style when its last separator is one,
// else "/"), so that a path is printed in the form the user gave it.
[[nodiscard]] std::string FileSystemDirectory(std::string_view directory, PathStyle style);

}  // namespace startup
