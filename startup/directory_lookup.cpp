// Directory tests over std::filesystem, always through the error_code overloads so nothing throws.
#include "startup/directory_lookup.h"

#include <filesystem>
#include <system_error>

#include "startup/native_path.h"
#include "text/case.h"

namespace startup {

namespace fs = std::filesystem;

bool FileSystemLookup::IsDirectory(const std::string& path) {
  if (path.empty()) return false;
  std::error_code error;
  return fs::is_directory(NativePath(path), error);
}

std::optional<std::string> FileSystemLookup::FindDirectoryVariant(const std::string& directory,
                                                                  const std::string& name) {
  const fs::path base = directory.empty() ? fs::path(".") : NativePath(directory);
  std::error_code error;
  if (fs::is_directory(base / NativePath(name), error)) return name;

  std::optional<std::string> best;
  fs::directory_iterator entries(base, error);
  if (error) return std::nullopt;
  for (const fs::directory_iterator end; entries != end;) {
    const std::string candidate = Utf8Path(entries->path().filename());
    // is_directory follows a symbolic link, so a link to a directory counts as one.
    std::error_code statusError;
    if (text::EqualsIgnoreCase(candidate, name) && entries->is_directory(statusError) &&
        (!best || candidate < *best)) {
      best = candidate;
    }
    entries.increment(error);
    if (error) return std::nullopt;
  }
  return best;
}

}  // namespace startup
