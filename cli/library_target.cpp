// Telling directories from library files among the operands.
#include "cli/library_target.h"

#include <filesystem>
#include <system_error>

#include "cli/library_access.h"

namespace cli {

PathKind KindOfPath(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code code;
  if (fs::is_directory(path, code)) return PathKind::kDirectory;
  const std::size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (LibraryNumberFromFileName(name)) return PathKind::kLibraryFile;
  return fs::exists(path, code) ? PathKind::kOtherFile : PathKind::kMissing;
}

std::optional<std::uint8_t> ParseLibraryNumber(const std::string& text) {
  if (text.empty() || text.size() > 3) return std::nullopt;
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > 255) return std::nullopt;
  return static_cast<std::uint8_t>(value);
}

}  // namespace cli
