// The library that a verb's operand names: a utils directory and a library number, or a KL7xx.DAT
// file (whose directory is the utils directory).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/verbs.h"

namespace cli {

enum class PathKind { kDirectory, kLibraryFile, kOtherFile, kMissing };

// What stands at `path`: a directory, a file named KL7xx.DAT (also when it does not exist: the
// record manager then reports it missing), another file, or nothing.
[[nodiscard]] PathKind KindOfPath(const std::string& path);

// A library number 0 to 255 as the viewer reads numbers: decimal, or hexadecimal after "$", "x",
// "X", "0x" or "0X" ("26", "0x1A" and "$1A" alike); nothing for anything else.
[[nodiscard]] std::optional<std::uint8_t> ParseLibraryNumber(const std::string& text);

// The libraries that `operands` name, in their order, each once. An operand is read as a number
// first (ParseLibraryNumber), then as a range "3-7" of such numbers (unless `ranges` is false),
// then as a name of the catalogue that `names` gives (Windows-1252, indexed by number; asked for
// only when an operand is a name), compared whole by the search folding. A number beyond 255, a
// range that runs backwards, and a name that names no library or several are usage errors of `verb`
// (thrown) that name the candidates.
using CatalogueSource = std::function<std::vector<std::string>()>;
struct LibrarySelection {
  std::vector<std::uint8_t> numbers;
  bool several = false;  // more than one operand, or a range: rows name their library
};
[[nodiscard]] LibrarySelection SelectLibraries(const std::string& verb,
                                               std::span<const std::string> operands,
                                               const CatalogueSource& names, bool ranges = true);

// The catalogue names of the utils directory `directory` (CatalogueNames), read through a cache of
// their own; empty when the catalogue cannot be read.
[[nodiscard]] std::vector<std::string> CatalogueNamesOf(const std::string& directory);

// The TARGET operand of dump, export and find: a utils directory (all its libraries) or a library
// file (that one library, its directory being the utils directory).
struct LibraryTarget {
  std::string directory;             // as given, or the file's directory ("" for the current one)
  std::optional<std::uint8_t> file;  // the library of a file target
  std::string fileName;              // the file target's path, as given
};

// Reads `target` for `verb`. A file that is no library file is a usage error (thrown); a missing
// path is reported through `context` (nothing returned).
[[nodiscard]] std::optional<LibraryTarget> ReadLibraryTarget(VerbContext& context,
                                                             const std::string& verb,
                                                             const std::string& target);

// The message for a directory where a verb takes a file (info, records).
inline constexpr std::string_view kIsADirectory = "is a directory, not a file";

// The message for a directory that holds no library file.
inline constexpr std::string_view kNoLibraryFiles =
    "no library files (KL7xx.DAT) in this directory";

}  // namespace cli
