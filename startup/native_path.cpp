// Paths between UTF-8 and the file system (see native_path.h).
#include "startup/native_path.h"

#include <exception>
#include <system_error>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace startup {

namespace fs = std::filesystem;

#if defined(_WIN32)

namespace {
// The longest full path the plain Windows calls take (MAX_PATH, less the terminating zero and the
// room a directory's names need).
constexpr std::size_t kPlainPathLimit = 247;
}  // namespace

fs::path NativePath(std::string_view utf8) {
  fs::path path;
  try {
    path = fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
  } catch (const std::exception&) {
    return fs::path(std::string(utf8));
  }
  const std::wstring& native = path.native();
  if (native.size() < 4 || native.starts_with(LR"(\\?\)") || native.starts_with(LR"(\\.\)"))
    return path;
  std::error_code error;
  const fs::path full = fs::absolute(path, error).lexically_normal().make_preferred();
  if (error || full.native().size() <= kPlainPathLimit) return path;
  if (full.native().starts_with(LR"(\\)"))
    return fs::path(LR"(\\?\UNC\)" + full.native().substr(2));
  return fs::path(LR"(\\?\)" + full.native());
}

std::string Utf8Path(const fs::path& path) {
  try {
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
  } catch (const std::exception&) {
    return {};
  }
}

std::optional<std::vector<DirectoryEntry>> ListDirectory(
    std::string_view directory, const std::function<bool(const std::string&)>& wanted,
    std::error_code& error) {
  std::wstring pattern = NativePath(directory.empty() ? std::string_view(".") : directory).native();
  if (!pattern.ends_with(L'\\') && !pattern.ends_with(L'/') && !pattern.ends_with(L':'))
    pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found{};
  const HANDLE listing = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                            FindExSearchNameMatch, nullptr, 0);
  std::vector<DirectoryEntry> entries;
  if (listing == INVALID_HANDLE_VALUE) {
    const DWORD failure = ::GetLastError();
    if (failure == ERROR_FILE_NOT_FOUND) return entries;  // not even "." and ".."
    error = std::error_code(static_cast<int>(failure), std::system_category());
    return std::nullopt;
  }
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    std::string utf8 = Utf8Path(fs::path(name));
    if (!wanted(utf8)) continue;
    entries.push_back(
        DirectoryEntry{std::move(utf8), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (::FindNextFileW(listing, &found));
  const DWORD failure = ::GetLastError();
  ::FindClose(listing);
  if (failure != ERROR_NO_MORE_FILES) {
    error = std::error_code(static_cast<int>(failure), std::system_category());
    return std::nullopt;
  }
  return entries;
}

#else

fs::path NativePath(std::string_view utf8) {
  return fs::path(std::string(utf8));
}

std::string Utf8Path(const fs::path& path) {
  return path.string();
}

std::optional<std::vector<DirectoryEntry>> ListDirectory(
    std::string_view directory, const std::function<bool(const std::string&)>& wanted,
    std::error_code& error) {
  const fs::path root = directory.empty() ? fs::path(".") : NativePath(directory);
  fs::directory_iterator it(root, error);
  if (error) return std::nullopt;
  std::vector<DirectoryEntry> entries;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) break;
    std::string name = Utf8Path(it->path().filename());
    if (!wanted(name)) continue;
    // is_directory follows a symbolic link, so a link to a directory counts as one.
    std::error_code statusError;
    entries.push_back(DirectoryEntry{std::move(name), it->is_directory(statusError)});
  }
  if (error) return std::nullopt;
  return entries;
}

#endif

}  // namespace startup
