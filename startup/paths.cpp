// Path helpers: pure text operations, no file-system access.
#include "startup/paths.h"

namespace startup {
namespace {

// Position just after the last separator, 0 when there is none.
std::size_t NameStart(std::string_view path, PathStyle style) {
  const std::size_t last =
      path.find_last_of(style == PathStyle::kWindows ? std::string_view("\\:") : "/");
  return last == std::string_view::npos ? 0 : last + 1;
}

std::string_view FileSystemSeparators(PathStyle style) {
  return style == PathStyle::kWindows ? "\\/:" : "/";
}

std::size_t FileSystemNameStart(std::string_view path, PathStyle style) {
  const std::size_t last = path.find_last_of(FileSystemSeparators(style));
  return last == std::string_view::npos ? 0 : last + 1;
}

}  // namespace

char Separator(PathStyle style) {
  return style == PathStyle::kWindows ? '\\' : '/';
}

std::string WithSeparator(std::string_view path, PathStyle style) {
  std::string result(path);
  if (!result.empty() && result.back() != Separator(style)) result += Separator(style);
  return result;
}

std::string WithoutSeparator(std::string_view path, PathStyle style) {
  if (!path.empty() && path.back() == Separator(style)) path.remove_suffix(1);
  return std::string(path);
}

std::string WithBackslash(std::string_view path) {
  return WithSeparator(path, PathStyle::kWindows);
}

std::string WithoutBackslash(std::string_view path) {
  return WithoutSeparator(path, PathStyle::kWindows);
}

std::string DirectoryPart(std::string_view path, PathStyle style) {
  return std::string(path.substr(0, NameStart(path, style)));
}

std::string FileNamePart(std::string_view path, PathStyle style) {
  return std::string(path.substr(NameStart(path, style)));
}

std::string FileSystemDirectoryPart(std::string_view path, PathStyle style) {
  return std::string(path.substr(0, FileSystemNameStart(path, style)));
}

std::string FileSystemNamePart(std::string_view path, PathStyle style) {
  return std::string(path.substr(FileSystemNameStart(path, style)));
}

std::string FileSystemDirectory(std::string_view directory, PathStyle style) {
  std::string result(directory);
  if (result.empty() || FileSystemSeparators(style).find(result.back()) != std::string::npos)
    return result;
  const std::size_t last = result.find_last_of("\\/");
  const bool backslash =
      style == PathStyle::kWindows && last != std::string::npos && result[last] == '\\';
  result += backslash ? '\\' : '/';
  return result;
}

}  // namespace startup
