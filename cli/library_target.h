// The library that a verb's operand names: a utils directory and a library number, or a KL7xx.DAT
// file (whose directory is the utils directory).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cli {

enum class PathKind { kDirectory, kLibraryFile, kOtherFile, kMissing };

// What stands at `path`: a directory, a file named KL7xx.DAT (also when it does not exist: the
// record manager then reports it missing), another file, or nothing.
[[nodiscard]] PathKind KindOfPath(const std::string& path);

// A decimal library number 0 to 255; nothing for anything else.
[[nodiscard]] std::optional<std::uint8_t> ParseLibraryNumber(const std::string& text);

}  // namespace cli
