// Paths between UTF-8 and the file system (see native_path.h).
#include "startup/native_path.h"

#include <exception>
#include <system_error>

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

#else

fs::path NativePath(std::string_view utf8) {
  return fs::path(std::string(utf8));
}

std::string Utf8Path(const fs::path& path) {
  return path.string();
}

#endif

}  // namespace startup
