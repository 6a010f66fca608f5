// Feeds arbitrary argument lists to start-up. The input is cut at "#KL7#": the first part is a
// flags byte (bit 0: Windows path style, bit 1: a lookup that answers from the rest of this part,
// one directory per line, instead of the disk; bit 2: the arguments come as one Windows command
// line to split) and the other parts are the arguments. On disk, start-up looks into a small tree
// made once in the process's scratch folder, with utils folders in several letter cases, a file
// named utils and a link; an argument's leading "@" stands for that folder's absolute path. Besides
// crashes, sanitizer reports, hangs and huge allocations, a failure without its kind or its
// one-line reason (or with control characters in it), and a reference form that settles on a UTILS
// directory not ending in "utils" and a separator are findings.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "fuzz_support.h"
#include "startup/command_line.h"
#include "startup/directory_lookup.h"
#include "startup/paths.h"
#include "startup/startup_sequence.h"
#include "text/case.h"

namespace {

namespace fs = std::filesystem;

// Answers from a list of directory paths, as the disk would if exactly those existed.
class ListedLookup final : public startup::DirectoryLookup {
 public:
  explicit ListedLookup(std::string_view lines) {
    while (!lines.empty()) {
      const std::size_t end = lines.find('\n');
      m_directories.emplace(lines.substr(0, end));
      if (end == std::string_view::npos) break;
      lines.remove_prefix(end + 1);
    }
  }

  bool IsDirectory(const std::string& path) override { return m_directories.contains(path); }

  std::optional<std::string> FindDirectoryVariant(const std::string& directory,
                                                  const std::string& name) override {
    if (m_directories.contains(directory + name)) return name;
    for (const std::string& path : m_directories) {  // in byte order: the first match wins
      if (path.size() > directory.size() && path.starts_with(directory) &&
          text::EqualsIgnoreCase(std::string_view(path).substr(directory.size()), name)) {
        return path.substr(directory.size());
      }
    }
    return std::nullopt;
  }

 private:
  std::set<std::string> m_directories;
};

// The tree on disk, made once.
const std::string& Tree() {
  static const std::string root = [] {
    const fs::path base = fuzz::ScratchFolder();
    std::error_code error;
    for (const char* folder : {"host/data/deep/er", "host/utils", "Host2/UTILS/x", "h3/a/Utils",
                               "h3/a/utils", "h3/b", "f/g", "utilsX/y"})
      fs::create_directories(base / folder, error);
    fuzz::WriteBytes(base / "f/utils", "not a directory");
    fuzz::WriteBytes(base / "host/data/KL701.DAT", "");
    fs::create_directory_symlink("../host/utils", base / "h3/b/UTILS", error);
    return base.string();
  }();
  return root;
}

std::string Expand(std::string_view argument) {
  if (argument.starts_with("@")) return Tree() + std::string(argument.substr(1));
  return std::string(argument);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string_view> parts = fuzz::SplitParts(fuzz::AsText(data, size));
  const unsigned flags = parts[0].empty() ? 0 : static_cast<unsigned char>(parts[0][0]);
  const startup::PathStyle style =
      (flags & 1) != 0 ? startup::PathStyle::kWindows : startup::PathStyle::kPosix;

  std::vector<std::string> arguments;
  if ((flags & 4) != 0 && parts.size() > 1) {
    arguments = startup::SplitCommandLine(parts[1]);
    if (!arguments.empty()) arguments.erase(arguments.begin());  // the program's own path
  } else {
    for (std::size_t i = 1; i < parts.size(); ++i)
      arguments.push_back(Expand(parts[i]));
  }

  startup::StartupOutcome outcome;
  if ((flags & 2) != 0) {
    ListedLookup lookup(parts[0].empty() ? std::string_view() : parts[0].substr(1));
    outcome = startup::RunStartup(arguments, style, lookup);
  } else {
    (void)Tree();
    startup::FileSystemLookup lookup;
    outcome = startup::RunStartup(arguments, style, lookup);
  }
  // A failure has its kind and one line without control characters; values have neither.
  const bool failed = outcome.failure != startup::StartupFailure::kNone;
  if (failed == outcome.values.has_value() || failed == outcome.reason.empty()) std::abort();
  for (const char c : outcome.reason) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();
  }
  const std::optional<startup::StartupValues>& values = outcome.values;
  if (!values) return 0;

  const std::string utils = values->settings.Read(startup::kUtilsKey);
  const bool libraryFileForm =
      !arguments.empty() &&
      text::UpperCase(startup::FileNamePart(arguments[0], style)).starts_with("KL7");
  if (!libraryFileForm &&
      (utils.size() < 6 ||
       !text::EqualsIgnoreCase(std::string_view(utils).substr(utils.size() - 6, 5), "utils") ||
       utils.back() != startup::Separator(style))) {
    std::abort();
  }
  return 0;
}
