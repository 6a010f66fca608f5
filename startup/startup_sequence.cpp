// The start-up sequence as a pure function of the arguments, the path style and a directory lookup.
#include "startup/startup_sequence.h"

#include <cstddef>
#include <utility>

#include "text/case.h"
#include "text/number.h"

namespace startup {
namespace {

constexpr std::size_t kMaxReferenceText = 255;
constexpr std::size_t kShortestWalkDirectory = 3;

// Reads the library number from an upper-cased file name "KL7xx.DAT".
bool ReadLibraryFile(std::string_view name, StartupValues& values) {
  const std::string_view rest = name.substr(3);
  if (rest.size() != 6 || rest.substr(2) != ".DAT") return false;
  // Appended rather than "$" + string: GCC 12 warns falsely (-Wrestrict) on that form at -O3.
  const text::NumberConversion library =
      text::ConvertNumber(std::string("$").append(rest.substr(0, 2)));
  if (!library.ok) return false;
  values.CurrentLibrary = static_cast<std::uint8_t>(library.value);
  values.CurrentEntry = 0;
  return true;
}

// Reads library and entry from an upper-cased first argument that starts with "LIB".
bool ReadReference(std::string_view argument, StartupValues& values) {
  if (argument == "LIB" || argument == "LIB[") {
    values.CurrentLibrary = 0;
    values.CurrentEntry = 0;
    return true;
  }
  // The fourth character is dropped whatever it is; it is normally "[".
  std::string reference(argument.substr(4, kMaxReferenceText));
  if (reference.find(',') == std::string::npos) {
    // Without a comma the entry defaults to 0; a closing bracket (LIB[3]) reads as if it were
    // absent.
    if (!reference.empty() && reference.back() == ']') reference.pop_back();
    reference += ",0]";
  }
  if (reference.back() != ']') reference += ']';
  reference.pop_back();
  const std::size_t comma = reference.find(',');

  const text::NumberConversion library =
      text::ConvertNumber(std::string_view(reference).substr(0, comma));
  if (!library.ok) return false;
  // Library numbers wrap: 300 selects 44 and -1 selects 255.
  values.CurrentLibrary =
      static_cast<std::uint8_t>(static_cast<std::uint32_t>(library.value) & 0xFFu);

  const std::string_view entryText =
      std::string_view(reference).substr(comma + 1, kMaxReferenceText);
  if (entryText.empty()) {
    values.CurrentEntry = 0;
    return true;
  }
  const text::NumberConversion entry = text::ConvertNumber(entryText);
  if (!entry.ok) return false;
  values.CurrentEntry = entry.value;
  return true;
}

// Walks up from the directory of `filePath` to the first directory that holds "utils" and returns
// the utilities directory; empty when the walk ends on an empty directory.
std::optional<std::string> FindUtilsDirectory(const std::string& filePath, PathStyle style,
                                              DirectoryLookup& lookup) {
  std::string directory = WithSeparator(DirectoryPart(filePath, style), style);
  if (style == PathStyle::kWindows) directory = text::UpperCase(directory);

  std::string utilsName = "utils";
  while (directory.size() >= kShortestWalkDirectory) {
    if (style == PathStyle::kWindows) {
      if (lookup.IsDirectory(directory + utilsName)) break;
    } else if (std::optional<std::string> found =
                   lookup.FindDirectoryVariant(directory, utilsName)) {
      utilsName = std::move(*found);
      break;
    }
    std::string parent = DirectoryPart(WithoutSeparator(directory, style), style);
    // A tail such as "AB:" is its own directory part; stop instead of testing it forever.
    if (parent == directory) break;
    directory = std::move(parent);
  }
  if (directory.empty()) return std::nullopt;
  return WithSeparator(directory, style) + utilsName + Separator(style);
}

}  // namespace

std::optional<StartupValues> RunStartup(const std::vector<std::string>& arguments, PathStyle style,
                                        DirectoryLookup& lookup) {
  if (arguments.size() > 2) return std::nullopt;

  StartupValues values;
  const std::string first = arguments.empty() ? std::string() : arguments[0];
  const std::string upperFirst = text::UpperCase(first);

  // The library-file form wins whenever the file name qualifies, also when the argument starts with
  // LIB.
  if (const std::string name = FileNamePart(upperFirst, style); name.starts_with("KL7")) {
    if (!ReadLibraryFile(name, values)) return std::nullopt;
    // An argument without a directory part writes the empty text, which leaves no UTILS line.
    values.settings.Write(kUtilsKey, WithSeparator(DirectoryPart(first, style), style));
    return values;
  }

  if (!upperFirst.starts_with("LIB") || arguments.size() != 2) return std::nullopt;
  if (!ReadReference(upperFirst, values)) return std::nullopt;
  std::optional<std::string> utils = FindUtilsDirectory(arguments[1], style, lookup);
  if (!utils) return std::nullopt;
  values.settings.Write(kUtilsKey, *utils);
  return values;
}

}  // namespace startup
