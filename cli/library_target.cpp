// Telling directories from library files among the operands.
#include "cli/library_target.h"

#include <filesystem>
#include <system_error>

#include "cli/library_access.h"
#include "startup/native_path.h"
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
