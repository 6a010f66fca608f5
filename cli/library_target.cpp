// Telling directories from library files among the operands.
#include "cli/library_target.h"

#include <filesystem>
#include <system_error>

#include "cli/library_access.h"
#include "text/number.h"

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
  const text::NumberConversion number = text::ConvertNumber(text);
  if (!number.ok || number.value < 0 || number.value > 255) return std::nullopt;
  return static_cast<std::uint8_t>(number.value);
}

std::optional<LibraryTarget> ReadLibraryTarget(VerbContext& context, const std::string& verb,
                                               const std::string& target) {
  LibraryTarget result;
  switch (KindOfPath(target)) {
    case PathKind::kDirectory:
      result.directory = target;
      return result;
    case PathKind::kLibraryFile: {
      const std::size_t slash = target.rfind('/');
      result.directory = DirectoryOfFile(target);
      result.file =
          LibraryNumberFromFileName(slash == std::string::npos ? target : target.substr(slash + 1));
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
