// The platform file layer: opens a file for reading only, tells its identity and reads it whole.
// The only place with operating-system calls; everything above it is portable C++.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "btrieve/file_image.h"

namespace btrieve {

// What identifies one version of a file: device and inode, size, and modification and change times
// in nanoseconds since the epoch.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;

  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

class ReadOnlyFile;

struct OpenFileResult {
  std::uint16_t status = 0;  // 0, 12 (not found or a directory), 94 (no read permission), 2 (other)
  std::unique_ptr<ReadOnlyFile> file;
};

struct LoadResult {
  std::uint16_t status = 0;  // 0 or 2
  FileImage image;
};

class ReadOnlyFile {
 public:
  // Opens `path` for reading only. On POSIX, when no file of exactly that name exists, the last
  // path component is matched case-insensitively (ASCII letters) in its directory; of several
  // matches the first in byte order is taken. Never blocks on special files; anything but a regular
  // file answers 12 (directories) or 2.
  [[nodiscard]] static OpenFileResult Open(const std::string& path);

  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // The identity of the open file as it is now; nothing when it cannot be asked.
  [[nodiscard]] std::optional<FileIdentity> Identity() const;

  // The whole file from its start, at most `limit` bytes (the size the caller learnt from
  // Identity; a file that shrank meanwhile gives fewer). With `mayMap` the file is mapped read-only
  // where the system can (no copy, no fresh memory to fill): the image then shows the file's own
  // pages, so the caller maps only a file that nobody is writing. (A mapped file that another
  // program later rewrites in place shows the new bytes, always within the mapped size; one that
  // it cuts short in place can stop the process on POSIX systems, which is why only files that
  // have not changed for a while are mapped.) Otherwise, or when mapping fails, one read loop
  // fills a buffer; never per-record calls.
  [[nodiscard]] LoadResult Load(std::uint64_t limit, bool mayMap) const;

 private:
  struct Handle;
  explicit ReadOnlyFile(std::unique_ptr<Handle> handle);
  std::unique_ptr<Handle> m_handle;
};

// The identity of the regular file of exactly this name, without opening it; nothing when there is
// none (no case-insensitive lookup here).
[[nodiscard]] std::optional<FileIdentity> PathIdentity(const std::string& path);

// The wall clock in nanoseconds since the epoch, as file times are given.
[[nodiscard]] std::int64_t NowNs();

}  // namespace btrieve
