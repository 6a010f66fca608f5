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

}  // namespace startup
