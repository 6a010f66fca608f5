// Windows implementation of the platform file layer (see platform_file.h), through the Windows API
// alone: wide paths made from UTF-8, sharing that lets the host go on writing, renaming and
// replacing its files, identity from the volume serial number and the file index.
#if defined(_WIN32)

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "btrieve/btrieve.h"
#include "btrieve/platform_file.h"

namespace btrieve {

struct ReadOnlyFile::Handle {
  HANDLE handle = INVALID_HANDLE_VALUE;
  ~Handle() {
    if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  }
};

namespace {

// Windows paths are case-insensitive on their own, so no name is looked up in another case here.
// The host keeps writing and replacing its files while they are open for reading here.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// File times count 100 ns from 1601-01-01; the layer's times count nanoseconds from 1970-01-01 as
// the wall clock does.
constexpr std::int64_t kTicksFrom1601To1970 = 116'444'736'000'000'000;

std::int64_t Nanoseconds(LARGE_INTEGER time) {
  return (time.QuadPart - kTicksFrom1601To1970) * 100;
}

// `path` (UTF-8) as a wide path for the file calls; nothing when it is no valid UTF-8. A path whose
// full form is too long for the plain calls gets the "\\?\" form, made from that full path.
std::optional<std::wstring> WidePath(const std::string& path) {
  if (path.empty()) return std::wstring();
  if (path.size() > INT_MAX) return std::nullopt;
  const int length = static_cast<int>(path.size());
  const int wideLength =
      ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), length, nullptr, 0);
  if (wideLength <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), length, wide.data(),
                        wideLength);
  if (wide.rfind(LR"(\\?\)", 0) == 0 || wide.rfind(LR"(\\.\)", 0) == 0) return wide;
  const DWORD fullLength = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (fullLength < MAX_PATH) return wide;  // 0 too: the call itself then tells what is wrong
  std::wstring full(fullLength, L'\0');
  const DWORD written = ::GetFullPathNameW(wide.c_str(), fullLength, full.data(), nullptr);
  if (written == 0 || written >= fullLength) return wide;
  full.resize(written);
  if (full.rfind(LR"(\\)", 0) == 0) return LR"(\\?\UNC\)" + full.substr(2);
  return LR"(\\?\)" + full;
}

std::uint16_t StatusOfError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_CANT_RESOLVE_FILENAME:
      return status::kFileNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return status::kPermissionError;
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return status::kInvalidFileName;
    default:
      return status::kIoError;
  }
}

// Opens `path` with full sharing, for `access`; directories open too (so that they can be told
// apart from files that cannot be read). The status when it fails.
HANDLE OpenShared(const std::string& path, DWORD access, std::uint16_t& failure) {
  const std::optional<std::wstring> wide = WidePath(path);
  if (!wide || wide->empty()) {
    failure = wide ? status::kFileNotFound : status::kInvalidFileName;
    return INVALID_HANDLE_VALUE;
  }
  const HANDLE handle = ::CreateFileW(wide->c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) failure = StatusOfError(::GetLastError());
  return handle;
}

bool IsDirectory(HANDLE handle) {
  FILE_BASIC_INFO basic{};
  return ::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) &&
         (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<FileIdentity> IdentityOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  FILE_BASIC_INFO basic{};
  FILE_STANDARD_INFO standard{};
  if (!::GetFileInformationByHandle(handle, &info) ||
      !::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
      !::GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard) ||
      standard.EndOfFile.QuadPart < 0) {
    return std::nullopt;
  }
  FileIdentity identity;
  identity.device = info.dwVolumeSerialNumber;
  identity.inode = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  identity.size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
  identity.modifiedNs = Nanoseconds(basic.LastWriteTime);
  // A file system that keeps no change time answers 0: the modification time stands for it.
  identity.changedNs =
      basic.ChangeTime.QuadPart != 0 ? Nanoseconds(basic.ChangeTime) : identity.modifiedNs;
  return identity;
}

}  // namespace

ReadOnlyFile::ReadOnlyFile(std::unique_ptr<Handle> handle) : m_handle(std::move(handle)) {}
ReadOnlyFile::~ReadOnlyFile() = default;

OpenFileResult ReadOnlyFile::Open(const std::string& path) {
  OpenFileResult result;
  std::uint16_t failure = status::kIoError;
  auto handle = std::make_unique<Handle>();
  handle->handle = OpenShared(path, GENERIC_READ, failure);
  if (handle->handle == INVALID_HANDLE_VALUE) {
    result.status = failure;
    return result;
  }
  if (IsDirectory(handle->handle)) {
    result.status = status::kFileNotFound;
    return result;
  }
  // Consoles, pipes and devices are no files to read whole.
  if (::GetFileType(handle->handle) != FILE_TYPE_DISK) {
    result.status = status::kIoError;
    return result;
  }
  result.file.reset(new ReadOnlyFile(std::move(handle)));
  return result;
}

std::optional<FileIdentity> ReadOnlyFile::Identity() const {
  return IdentityOf(m_handle->handle);
}

std::optional<FileIdentity> PathIdentity(const std::string& path) {
  std::uint16_t failure = 0;
  const HANDLE handle = OpenShared(path, FILE_READ_ATTRIBUTES, failure);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<FileIdentity> identity;
  if (!IsDirectory(handle) && ::GetFileType(handle) == FILE_TYPE_DISK)
    identity = IdentityOf(handle);
  ::CloseHandle(handle);
  return identity;
}

LoadResult ReadOnlyFile::Load(std::uint64_t limit) const {
  LoadResult result;
  if (limit > SIZE_MAX / 2) {
    result.status = status::kIoError;
    return result;
  }
  const auto size = static_cast<std::size_t>(limit);
  void* memory = ::operator new(std::max<std::size_t>(size, 1), std::nothrow);
  if (memory == nullptr) {
    result.status = status::kIoError;
    result.outOfMemory = true;
    return result;
  }
  std::shared_ptr<void> keeper(memory, [](void* p) { ::operator delete(p, std::nothrow); });
  auto* bytes = static_cast<std::byte*>(memory);
  std::size_t filled = 0;
  while (filled < size) {
    // Each read names its offset, so the handle's own position never matters.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(filled);
    at.OffsetHigh = static_cast<DWORD>(std::uint64_t{filled} >> 32);
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size - filled, 1u << 30));
    DWORD got = 0;
    if (!::ReadFile(m_handle->handle, bytes + filled, wanted, &got, &at)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;  // the file shrank since its size was taken
      result.status = status::kIoError;
      return result;
    }
    if (got == 0) break;
    filled += got;
  }
  result.image = FileImage(std::span<const std::byte>(bytes, filled), std::move(keeper), size);
  return result;
}

void ReadOnlyFile::AwaitWriteInProgress() const {}

std::optional<std::size_t> ReadOnlyFile::ReadAt(std::uint64_t offset,
                                                std::span<std::byte> into) const {
  std::size_t filled = 0;
  while (filled < into.size()) {
    OVERLAPPED at{};
    const std::uint64_t position = offset + filled;
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(into.size() - filled, 1u << 30));
    DWORD got = 0;
    if (!::ReadFile(m_handle->handle, into.data() + filled, wanted, &got, &at)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      return std::nullopt;
    }
    if (got == 0) break;
    filled += got;
  }
  return filled;
}

}  // namespace btrieve

#endif
