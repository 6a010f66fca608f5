// Telling directories from library files among the operands.
#include "cli/library_target.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "cli/library_access.h"
#include "libfile/record_manager.h"
#include "libraries/library_cache.h"
#include "libraries/text_folding.h"
#include "startup/native_path.h"
#include "text/codepage.h"
#include "text/number.h"

namespace cli {

PathKind KindOfPath(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code code;
  const fs::path native = startup::NativePath(path);
  if (fs::is_directory(native, code)) return PathKind::kDirectory;
  if (LibraryNumberFromFileName(FileNameOf(path))) return PathKind::kLibraryFile;
  return fs::exists(native, code) ? PathKind::kOtherFile : PathKind::kMissing;
}

std::optional<std::uint8_t> ParseLibraryNumber(const std::string& text) {
  const text::NumberConversion number = text::ConvertNumber(text);
  if (!number.ok || number.value < 0 || number.value > 255) return std::nullopt;
  return static_cast<std::uint8_t>(number.value);
}

namespace {

// "N NAME, N NAME" for the libraries `numbers`, names in UTF-8.
std::string Candidates(const std::vector<std::uint8_t>& numbers,
                       const std::vector<std::string>& names) {
  std::string text;
  for (const std::uint8_t number : numbers) {
    if (!text.empty()) text += ", ";
    text += std::to_string(number) + " " + text::Cp1252ToUtf8(NameOf(names, number));
  }
  return text;
}

// The library that the operand `operand` names, when it is no number or range.
std::uint8_t LibraryNamed(const std::string& verb, const std::string& operand,
                          const std::vector<std::string>& names) {
  const core::FoldedNeedle needle(operand);
  std::vector<std::uint8_t> equal;
  std::vector<std::uint8_t> containing;
  for (std::size_t number = 0; number < names.size() && number < 256; ++number) {
    if (names[number].empty()) continue;
    if (needle.Equals(names[number])) equal.push_back(static_cast<std::uint8_t>(number));
    if (needle.FoundIn(names[number])) containing.push_back(static_cast<std::uint8_t>(number));
  }
  if (equal.size() == 1) return equal.front();
  if (equal.size() > 1) {
    throw UsageError{verb + ": '" + operand + "' names several libraries: " +
                     Candidates(equal, names) + "; give the number"};
  }
  std::string message = verb + ": '" + operand + "' is no library number from 0 to 255 " +
                        "(26, 0x1A or $1A) and no name in the catalogue";
  if (names.empty()) message += " (the catalogue cannot be read)";
  constexpr std::size_t kShown = 8;
  if (!containing.empty()) {
    const bool more = containing.size() > kShown;
    if (more) containing.resize(kShown);
    message += "; did you mean " + Candidates(containing, names) + (more ? ", ..." : "") + "?";
  }
  throw UsageError{message};
}

}  // namespace

LibrarySelection SelectLibraries(const std::string& verb, std::span<const std::string> operands,
                                 const CatalogueSource& names, bool ranges) {
  LibrarySelection selection;
  selection.several = operands.size() > 1;
  bool seen[256] = {};
  std::optional<std::vector<std::string>> catalogue;  // read at the first name
  const auto add = [&](std::uint8_t number) {
    if (seen[number]) return;
    seen[number] = true;
    selection.numbers.push_back(number);
  };
  for (const std::string& operand : operands) {
    if (const std::optional<std::uint8_t> number = ParseLibraryNumber(operand)) {
      add(*number);
      continue;
    }
    if (text::ConvertNumber(operand).ok) {
      throw UsageError{verb + ": library number '" + operand +
                       "' is not a number from 0 to 255 (26, 0x1A or $1A)"};
    }
    const std::size_t dash = operand.find('-', 1);
    if (ranges && dash != std::string::npos) {
      const text::NumberConversion first = text::ConvertNumber(operand.substr(0, dash));
      const text::NumberConversion last = text::ConvertNumber(operand.substr(dash + 1));
      if (first.ok && last.ok) {
        if (first.value < 0 || last.value > 255 || first.value > last.value) {
          throw UsageError{verb + ": library range '" + operand +
                           "' is not a rising range within 0 to 255 (3-7)"};
        }
        for (std::int32_t number = first.value; number <= last.value; ++number)
          add(static_cast<std::uint8_t>(number));
        selection.several = true;
        continue;
      }
    }
    if (!catalogue) catalogue = names();
    add(LibraryNamed(verb, operand, *catalogue));
  }
  return selection;
}

std::vector<std::string> CatalogueNamesOf(const std::string& directory) {
  libfile::NativeRecordManager manager;
  core::LibraryCache cache(manager, AsUtilsDirectory(directory));
  return CatalogueNames(cache, manager);
}

std::optional<LibraryTarget> ReadLibraryTarget(VerbContext& context, const std::string& verb,
                                               const std::string& target) {
  LibraryTarget result;
  switch (KindOfPath(target)) {
    case PathKind::kDirectory:
      result.directory = target;
      return result;
    case PathKind::kLibraryFile: {
      result.directory = DirectoryOfFile(target);
      result.file = LibraryNumberFromFileName(FileNameOf(target));
      result.fileName = target;
      return result;
    }
    case PathKind::kOtherFile:
      throw UsageError{verb + ": '" + target + "' is neither a directory nor a KL7xx.DAT file"};
    case PathKind::kMissing:
      break;
  }
  context.Report(target, "no such file or directory");
  return std::nullopt;
}

}  // namespace cli
