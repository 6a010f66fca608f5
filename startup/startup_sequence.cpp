// The start-up sequence as a pure function of the arguments, the path style and a directory lookup.
#include "startup/startup_sequence.h"

#include <cstddef>
#include <string>
#include <utility>

#include "text/case.h"
#include "text/control_escape.h"
#include "text/number.h"

namespace startup {
namespace {

constexpr std::size_t kMaxReferenceText = 255;
constexpr std::size_t kShortestWalkDirectory = 3;

// The argument as the user typed it, inside quotes, with control characters escaped (\xHH,
// \u00HH) so that the line cannot play tricks on a terminal.
std::string Quoted(std::string_view argument) {
  std::string quoted = "'";
  text::AppendControlsEscaped(quoted, argument);
  return quoted + "'";
}

StartupOutcome Fail(StartupFailure failure, std::string reason) {
  return {std::nullopt, failure, std::move(reason)};
}

// Reads the library number from an upper-cased file name "KL7xx.DAT".
StartupFailure ReadLibraryFile(std::string_view name, StartupValues& values) {
  const std::string_view rest = name.substr(3);
  if (rest.size() != 6 || rest.substr(2) != ".DAT") return StartupFailure::kMalformedFileName;
  // Appended rather than "$" + string: GCC 12 warns falsely (-Wrestrict) on that form at -O3.
  const text::NumberConversion library =
      text::ConvertNumber(std::string("$").append(rest.substr(0, 2)));
  if (!library.ok) return StartupFailure::kNotHexadecimal;
  values.CurrentLibrary = static_cast<std::uint8_t>(library.value);
  values.CurrentEntry = 0;
  return StartupFailure::kNone;
}

// A number of the reference that does not convert: which one, and its text.
struct ReferenceFault {
  StartupFailure failure = StartupFailure::kNone;
  std::string number;
};

// Reads library and entry from a first argument that starts with "LIB" in any letter case. The
// numbers read the same in either case, so a fault quotes them as the user typed them.
ReferenceFault ReadReference(std::string_view argument, StartupValues& values) {
  if (const std::string upper = text::UpperCase(argument); upper == "LIB" || upper == "LIB[") {
    values.CurrentLibrary = 0;
    values.CurrentEntry = 0;
    return {};
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

  const std::string_view libraryText = std::string_view(reference).substr(0, comma);
  const text::NumberConversion library = text::ConvertNumber(libraryText);
  if (!library.ok) return {StartupFailure::kBadLibraryNumber, std::string(libraryText)};
  // Library numbers wrap: 300 selects 44 and -1 selects 255.
  values.CurrentLibrary =
      static_cast<std::uint8_t>(static_cast<std::uint32_t>(library.value) & 0xFFu);

  const std::string_view entryText =
      std::string_view(reference).substr(comma + 1, kMaxReferenceText);
  if (entryText.empty()) {
    values.CurrentEntry = 0;
    return {};
  }
  const text::NumberConversion entry = text::ConvertNumber(entryText);
  if (!entry.ok) return {StartupFailure::kBadEntryNumber, std::string(entryText)};
  values.CurrentEntry = entry.value;
  return {};
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

StartupOutcome RunStartup(const std::vector<std::string>& arguments, PathStyle style,
                          DirectoryLookup& lookup) {
  if (arguments.size() > 2) {
    return Fail(StartupFailure::kTooManyArguments,
                std::to_string(arguments.size()) +
                    " arguments: give a library file, or a reference and a path");
  }
  if (arguments.empty()) {
    return Fail(StartupFailure::kNoArguments, "no library file or reference given");
  }

  StartupValues values;
  const std::string& first = arguments[0];
  const std::string upperFirst = text::UpperCase(first);

  // The library-file form wins whenever the file name qualifies, also when the argument starts with
  // LIB.
  if (const std::string name = FileNamePart(upperFirst, style); name.starts_with("KL7")) {
    const std::string shown = Quoted(FileNamePart(first, style));
    switch (ReadLibraryFile(name, values)) {
      case StartupFailure::kNone:
        break;
      case StartupFailure::kNotHexadecimal:
        return Fail(StartupFailure::kNotHexadecimal,
                    shown + ": " + Quoted(FileNamePart(first, style).substr(3, 2)) +
                        " is not a hexadecimal library number");
      default:
        return Fail(StartupFailure::kMalformedFileName,
                    shown + " is no library file name: KL7, two hexadecimal digits, .DAT");
    }
    // An argument without a directory part writes the empty text, which leaves no UTILS line.
    values.settings.Write(kUtilsKey, WithSeparator(DirectoryPart(first, style), style));
    return {std::move(values), StartupFailure::kNone, {}};
  }

  if (!upperFirst.starts_with("LIB")) {
    return Fail(StartupFailure::kUnknownForm,
                Quoted(first) + " is neither a library file KL7xx.DAT nor a reference LIB[n,m]");
  }
  if (arguments.size() != 2) {
    return Fail(StartupFailure::kReferenceWithoutPath,
                "the reference " + Quoted(first) +
                    " needs a second argument: the path of a file in the host's tree");
  }
  if (const ReferenceFault fault = ReadReference(first, values);
      fault.failure != StartupFailure::kNone) {
    const char* what = fault.failure == StartupFailure::kBadLibraryNumber ? "library" : "entry";
    return Fail(fault.failure,
                "the reference " + Quoted(first) + ": " +
                    (fault.number.empty() ? std::string("no ") + what + " number"
                                          : std::string("the ") + what + " number " +
                                                Quoted(fault.number) + " is not a number"));
  }
  if (DirectoryPart(arguments[1], style).empty()) {
    return Fail(
        StartupFailure::kNoDirectoryPart,
        Quoted(arguments[1]) + " has no directory part to look for the utils directory from");
  }
  std::optional<std::string> utils = FindUtilsDirectory(arguments[1], style, lookup);
  if (!utils) {
    return Fail(StartupFailure::kWalkEndedEmpty,
                "no utils directory found above " + Quoted(arguments[1]) +
                    " (a relative path is followed up only as far as it names directories)");
  }
  values.settings.Write(kUtilsKey, *utils);
  return {std::move(values), StartupFailure::kNone, {}};
}

}  // namespace startup
