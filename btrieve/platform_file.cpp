// POSIX implementation of the platform file layer (see platform_file.h); platform_file_win.cpp
// holds the Windows one.
#include "btrieve/platform_file.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "btrieve/btrieve.h"

#if defined(__unix__) || defined(__APPLE__)
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string_view>
#include <unordered_map>
#elif !defined(_WIN32)
#error "the platform file layer has no implementation for this system"
#endif

namespace btrieve {

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

#if defined(__unix__) || defined(__APPLE__)

struct ReadOnlyFile::Handle {
  int fd = -1;
  ~Handle() {
    if (fd >= 0) ::close(fd);
  }
};

namespace {

char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::int64_t Nanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

FileIdentity IdentityOf(const struct stat& info) {
  FileIdentity identity;
  identity.device = static_cast<std::uint64_t>(info.st_dev);
  identity.inode = static_cast<std::uint64_t>(info.st_ino);
  identity.size = static_cast<std::uint64_t>(info.st_size);
#if defined(__APPLE__)
  identity.modifiedNs = Nanoseconds(info.st_mtimespec);
  identity.changedNs = Nanoseconds(info.st_ctimespec);
#else
  identity.modifiedNs = Nanoseconds(info.st_mtim);
  identity.changedNs = Nanoseconds(info.st_ctim);
#endif
  return identity;
}

std::string Folded(std::string_view name) {
  std::string folded(name);
  for (char& c : folded)
    c = FoldAscii(c);
  return folded;
}

// The last directory listed for a case-insensitive lookup: per name folded to lower case, the name
// first in byte order. Reused while the directory's identity and times stay the same, so that many
// lookups of missing files in one large directory read it once.
struct DirectoryListing {
  std::string directory;
  std::optional<FileIdentity> identity;
  std::unordered_map<std::string, std::string> names;
};

constexpr std::int64_t kListingSettleNs = 2'000'000'000;
std::mutex g_listingMutex;
DirectoryListing g_listing;

// The name in path's directory that equals its last component ignoring ASCII case, first in byte
// order; empty when there is none.
std::string FindCaseInsensitive(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string directory = slash == std::string::npos
                                    ? std::string(".")
                                    : (slash == 0 ? std::string("/") : path.substr(0, slash));
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return {};
  struct stat info {};
  if (::stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return {};
  const std::lock_guard lock(g_listingMutex);
  DirectoryListing& listing = g_listing;
  const FileIdentity identity = IdentityOf(info);
  if (listing.directory != directory || listing.identity != identity) {
    listing = DirectoryListing{};
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr) return {};
    while (const dirent* entry = ::readdir(dir)) {
      const std::string_view found = entry->d_name;
      std::string& best = listing.names[Folded(found)];
      if (best.empty() || found < best) best = found;
    }
    ::closedir(dir);
    // A directory changed while it was read is listed again next time.
    // Kept only for a directory that has not changed for two seconds (file times may be coarser
    // than they look) and did not change while it was read.
    struct stat after {};
    const bool settled =
        std::max(identity.modifiedNs, identity.changedNs) <= NowNs() - kListingSettleNs;
    if (settled && ::stat(directory.c_str(), &after) == 0 && IdentityOf(after) == identity) {
      listing.directory = directory;
      listing.identity = identity;
    }
  }
  const auto found = listing.names.find(Folded(name));
  if (found == listing.names.end()) return {};
  return slash == std::string::npos ? found->second : path.substr(0, slash + 1) + found->second;
}

std::uint16_t StatusOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
      return status::kFileNotFound;
    case EACCES:
    case EPERM:
      return status::kPermissionError;
    case ENAMETOOLONG:
      return status::kInvalidFileName;
    default:
      return status::kIoError;
  }
}

int OpenReadOnly(const std::string& path) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

ReadOnlyFile::ReadOnlyFile(std::unique_ptr<Handle> handle) : m_handle(std::move(handle)) {}
ReadOnlyFile::~ReadOnlyFile() = default;

OpenFileResult ReadOnlyFile::Open(const std::string& path) {
  OpenFileResult result;
  int fd = OpenReadOnly(path);
  if (fd < 0 && errno == ENOENT) {
    const std::string other = FindCaseInsensitive(path);
    if (!other.empty())
      fd = OpenReadOnly(other);
    else
      errno = ENOENT;
  }
  if (fd < 0) {
    result.status = StatusOfErrno(errno);
    return result;
  }
  auto handle = std::make_unique<Handle>();
  handle->fd = fd;
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    result.status = status::kIoError;
    return result;
  }
  if (S_ISDIR(info.st_mode)) {
    result.status = status::kFileNotFound;
    return result;
  }
  if (!S_ISREG(info.st_mode)) {
    result.status = status::kIoError;
    return result;
  }
  result.file.reset(new ReadOnlyFile(std::move(handle)));
  return result;
}

std::optional<FileIdentity> ReadOnlyFile::Identity() const {
  struct stat info {};
  if (::fstat(m_handle->fd, &info) != 0 || info.st_size < 0) return std::nullopt;
  return IdentityOf(info);
}

std::optional<FileIdentity> PathIdentity(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0)
    return std::nullopt;
  return IdentityOf(info);
}

namespace {

// Files of this size or more are read into memory aligned to, and advised for, transparent huge
// pages: filling fresh ordinary pages costs several times what the read itself costs.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

// A buffer for `size` bytes that nothing has touched yet (no zero fill), and the bytes it holds.
struct Buffer {
  std::shared_ptr<void> memory;
  std::size_t held = 0;
};

Buffer Allocate(std::size_t size) {
  Buffer buffer;
  if (size >= kHugePage) {
    const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
    constexpr std::align_val_t kAlignment{kHugePage};
    if (void* memory = ::operator new(rounded, kAlignment, std::nothrow)) {
#ifdef MADV_HUGEPAGE
      // Advice only: where the system refuses it, ordinary pages serve.
      (void)::madvise(memory, rounded, MADV_HUGEPAGE);
#endif
      buffer.memory = std::shared_ptr<void>(
          memory, [](void* p) { ::operator delete(p, kAlignment, std::nothrow); });
      buffer.held = rounded;
    }
    return buffer;
  }
  if (void* memory = ::operator new(std::max<std::size_t>(size, 1), std::nothrow)) {
    buffer.memory =
        std::shared_ptr<void>(memory, [](void* p) { ::operator delete(p, std::nothrow); });
    buffer.held = size;
  }
  return buffer;
}

}  // namespace

LoadResult ReadOnlyFile::Load(std::uint64_t limit) const {
  LoadResult result;
  if (limit > SIZE_MAX / 2) {
    result.status = status::kIoError;
    return result;
  }
  const auto size = static_cast<std::size_t>(limit);
  Buffer buffer = Allocate(size);
  if (buffer.memory == nullptr) {
    result.status = status::kIoError;
    result.outOfMemory = true;
    return result;
  }
  auto* bytes = static_cast<std::byte*>(buffer.memory.get());
  std::size_t filled = 0;
  while (filled < size) {
    const ssize_t got =
        ::pread(m_handle->fd, bytes + filled, size - filled, static_cast<off_t>(filled));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      result.status = status::kIoError;
      return result;
    }
    if (got == 0) break;  // the file shrank since its size was taken
    filled += static_cast<std::size_t>(got);
  }
  result.image =
      FileImage(std::span<const std::byte>(bytes, filled), std::move(buffer.memory), buffer.held);
  return result;
}

void ReadOnlyFile::AwaitWriteInProgress() const {
#ifdef SEEK_DATA
  // The seek takes the file's lock that a write holds while it copies its data; what it answers
  // does not matter, and the descriptor's position is never used (every read names its offset).
  (void)::lseek(m_handle->fd, 0, SEEK_DATA);
#endif
}

std::optional<std::size_t> ReadOnlyFile::ReadAt(std::uint64_t offset,
                                                std::span<std::byte> into) const {
  std::size_t filled = 0;
  while (filled < into.size()) {
    if (offset + filled > static_cast<std::uint64_t>(INT64_MAX)) break;
    const ssize_t got = ::pread(m_handle->fd, into.data() + filled, into.size() - filled,
                                static_cast<off_t>(offset + filled));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  return filled;
}

#endif

}  // namespace btrieve
