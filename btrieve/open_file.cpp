// Open's road from a file name to a parsed file (see open_file.h).
#include "btrieve/open_file.h"

#include <optional>
#include <utility>

#include "btrieve/btrieve.h"
#include "btrieve/file_parser.h"
#include "btrieve/platform_file.h"
#include "btrieve/snapshot_cache.h"

namespace btrieve {

ParseResult OpenParsedFile(const std::string& name) {
  ParseResult result;
  const auto refuse = [&result](std::uint16_t status, Check check) -> Reason& {
    result.status = status;
    result.reason = Refusal(status, check);
    return result.reason;
  };
  OpenFileResult opened = ReadOnlyFile::Open(name);
  if (opened.status != status::kSuccess) {
    refuse(opened.status, Check::kCannotOpen);
    return result;
  }
  const ReadOnlyFile& file = *opened.file;
  SnapshotCache& cache = SnapshotCache::Instance();
  constexpr int kAttempts = 3;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::optional<FileIdentity> before = file.Identity();
    if (!before) {
      refuse(status::kIoError, Check::kCannotRead);
      return result;
    }
    const std::int64_t now = NowNs();
    if (auto cached = cache.Find(*before, now)) {
      result.file = std::move(cached);
      result.status = status::kSuccess;
      return result;
    }
    // A file too large for the parser is refused before its bytes are read into memory.
    if (before->size > kMaxImageSize) {
      refuse(status::kIoError, Check::kTooLarge).Values(before->size, kMaxImageSize);
      return result;
    }
    // Read into memory of our own: a session keeps the bytes it opened whatever the host does next.
    LoadResult loaded = file.Load(before->size);
    if (loaded.status != status::kSuccess) {
      refuse(loaded.status, Check::kCannotRead);
      return result;
    }
    result = ParseFile(std::move(loaded.image));
    const std::optional<FileIdentity> after = file.Identity();
    const bool stable = after && *after == *before;
    if (result.status == status::kSuccess) {
      if (stable) cache.Store(*before, result.file, now);
      return result;
    }
    if (result.status != status::kIoError || stable) return result;
  }
  return result;
}

}  // namespace btrieve
