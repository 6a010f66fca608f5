// Open's road from a file name to a parsed file (see open_file.h).
#include "btrieve/open_file.h"

#include <algorithm>
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
    // The first pages tell whether the file is one at all, and how much of it a parse can use:
    // nothing more is read for a file refused from its header.
    LoadResult head = file.Load(std::min(before->size, kHeaderBytes));
    if (head.status != status::kSuccess) {
      refuse(head.status, Check::kCannotRead);
      return result;
    }
    const HeaderJudgement judged = JudgeHeader(head.image.Bytes(), before->size);
    if (judged.reason.status != status::kSuccess) {
      result.status = judged.reason.status;
      result.reason = judged.reason;
      const std::optional<FileIdentity> after = file.Identity();
      if (result.status != status::kIoError || (after && *after == *before)) return result;
      continue;  // refused as damaged while it changed: read it again
    }
    // Read into memory of our own: a session keeps the bytes it opened whatever the host does next.
    LoadResult loaded =
        judged.readLimit <= head.image.Size() ? std::move(head) : file.Load(judged.readLimit);
    if (loaded.status != status::kSuccess) {
      if (loaded.outOfMemory) {
        refuse(loaded.status, Check::kNoMemory).Values(judged.readLimit);
      } else {
        refuse(loaded.status, Check::kCannotRead);
      }
      return result;
    }
    result = ParseFile(std::move(loaded.image));
    const std::optional<FileIdentity> after = file.Identity();
    const bool stable = after && *after == *before;
    // What was read while the file changed may mix two versions of it: it is never served, and
    // a file that changes during every read is refused.
    if (stable) {
      if (result.status == status::kSuccess) cache.Store(*before, result.file, now);
      return result;
    }
  }
  result = ParseResult{};
  refuse(status::kIoError, Check::kChangedWhileRead);
  return result;
}

}  // namespace btrieve
