// The platform file layer: opens a file for reading only, tells its identity and reads it whole.
// The only place with operating-system calls; everything above it is portable C++.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "btrieve/file_image.h"

namespace btrieve {

// What identifies one version of a file: device and inode (on Windows the volume serial number and
// the file index), size, and modification and change times in nanoseconds since 1970, as the wall
// clock counts.
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
  bool outOfMemory = false;  // status 2 because no memory could be had for the image
  FileImage image;
};

class ReadOnlyFile {
 public:
  // Opens `path` (UTF-8 on Windows) for reading only. On POSIX, when no file of exactly that name
  // exists, the last path component is matched case-insensitively (ASCII letters) in its
  // directory; of several matches the first in byte order is taken. On Windows the file system
  // matches names in any letter case itself, and the file is shared for reading, writing and
  // deletion while it is open. Never blocks on special files; anything but a regular file answers
  // 12 (directories) or 2.
  [[nodiscard]] static OpenFileResult Open(const std::string& path);

  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // The identity of the open file as it is now; nothing when it cannot be asked.
  [[nodiscard]] std::optional<FileIdentity> Identity() const;

  // The whole file from its start, at most `limit` bytes (the size the caller learnt from
  // Identity; a file that shrank meanwhile gives fewer), read into memory of the reader's own in
  // one read loop: never a mapping (a mapped file that another program cuts short ends the process
  // on POSIX systems) and never per-record calls. The image keeps those bytes whatever the file
  // does afterwards. Status 0 or 2 (a read failed, or no memory for the image).
  [[nodiscard]] LoadResult Load(std::uint64_t limit) const;

  // Fills `into` with the file's bytes from `offset` on; the bytes read, fewer than asked where
  // the file ends, or nothing when a read fails.
  [[nodiscard]] std::optional<std::size_t> ReadAt(std::uint64_t offset,
                                                  std::span<std::byte> into) const;

  // Returns once a write to the file that is under way has ended, where the system lets a reader
  // wait for that (on Linux, file systems such as ext4, btrfs and tmpfs make a data seek wait for
  // a write in progress); elsewhere it returns at once. Never changes the file.
  void AwaitWriteInProgress() const;

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
