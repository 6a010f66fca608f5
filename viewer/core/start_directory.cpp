// Finding the catalogue file of a directory named on the command line.
#include "viewer/core/start_directory.h"

#include <algorithm>
#include <string_view>
#include <system_error>

#include "startup/native_path.h"
#include "text/case.h"
#include "text/control_escape.h"

namespace viewer {

namespace {

// The name of the entry of `directory` that equals `name` apart from letter case and is (or is
// not) a directory; nothing when there is none.
std::optional<std::string> EntryNamed(const std::string& directory, std::string_view name,
                                      bool isDirectory) {
  std::error_code error;
  const auto entries = startup::ListDirectory(
      directory, [&](const std::string& entry) { return text::EqualsIgnoreCase(entry, name); },
      error);
  if (!entries) return std::nullopt;
  for (const startup::DirectoryEntry& entry : *entries) {
    if (entry.isDirectory == isDirectory) return entry.name;
  }
  return std::nullopt;
}

std::string Joined(const std::string& directory, const std::string& name, char separator) {
  if (directory.empty() || directory.back() == '/' || directory.back() == separator) {
    return directory + name;
  }
  return directory + separator + name;
}

}  // namespace

std::optional<std::string> CatalogueFileOf(const std::string& directory, char separator) {
  constexpr std::string_view kCatalogue = "KL700.DAT";
  if (EntryNamed(directory, kCatalogue, false)) {
    return Joined(directory, std::string(kCatalogue), separator);
  }
  const std::optional<std::string> utils = EntryNamed(directory, "utils", true);
  if (!utils) return std::nullopt;
  const std::string utilsPath = Joined(directory, *utils, separator);
  if (!EntryNamed(utilsPath, kCatalogue, false)) return std::nullopt;
  return Joined(utilsPath, std::string(kCatalogue), separator);
}

StartArguments ArgumentsForStart(const std::vector<std::string>& arguments, bool isDirectory,
                                 char separator) {
  StartArguments start;
  if (arguments.size() != 1 || !isDirectory) {
    start.arguments = arguments;
    return start;
  }
  if (const std::optional<std::string> catalogue = CatalogueFileOf(arguments[0], separator)) {
    start.arguments = std::vector<std::string>{*catalogue};
  } else {
    // Written into room reserved for it: GCC 12 at -O3 takes a chain of appends for an
    // overlapping copy.
    constexpr std::string_view kWithout =
        "' is a directory without KL700.DAT, in it or in a utils directory in it";
    const std::string name = text::ControlsEscaped(arguments[0]);
    start.refusal.resize(1 + name.size() + kWithout.size());
    start.refusal[0] = '\'';
    std::copy(name.begin(), name.end(), start.refusal.begin() + 1);
    std::copy(kWithout.begin(), kWithout.end(),
              start.refusal.begin() + 1 + static_cast<std::ptrdiff_t>(name.size()));
  }
  return start;
}

}  // namespace viewer
