// Open's road from a file name to a parsed file (see open_file.h).
#include "btrieve/open_file.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <span>
#include <utility>

#include "btrieve/btrieve.h"
#include "btrieve/file_parser.h"
#include "btrieve/platform_file.h"
#include "btrieve/snapshot_cache.h"

namespace btrieve {

namespace {

// Whether the file holds `bytes` from its start now, once any write under way has ended: read
// again in pieces on the stack (no allocation that could fail) and compared.
bool ReadsTheSame(const ReadOnlyFile& file, std::span<const std::byte> bytes) {
  file.AwaitWriteInProgress();
  std::array<std::byte, std::size_t{32} << 10> piece;
  for (std::size_t at = 0; at < bytes.size(); at += piece.size()) {
    const std::size_t wanted = std::min(piece.size(), bytes.size() - at);
    const std::optional<std::size_t> got = file.ReadAt(at, std::span(piece).first(wanted));
    if (!got || *got != wanted || !std::equal(piece.begin(), piece.begin() + wanted, &bytes[at])) {
      return false;
    }
  }
  return true;
}

}  // namespace

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
      if (head.outOfMemory) {
        refuse(head.status, Check::kNoMemory).Values(before->size);
      } else {
        refuse(head.status, Check::kCannotRead);
      }
      return result;
    }
    // A file written within the settling window may be in the middle of a write: the system sets
    // its times when a write begins, before the data is copied, so its identity cannot tell a read
    // that overlapped the copy. What is read of such a file counts only when a second read gives
    // the same bytes; a settled file is read once.
    const bool settled = SnapshotCache::IsSettled(*before, now);
    const HeaderJudgement judged = JudgeHeader(head.image.Bytes(), before->size);
    if (judged.reason.status != status::kSuccess) {
      result.status = judged.reason.status;
      result.reason = judged.reason;
      const std::optional<FileIdentity> after = file.Identity();
      const bool changed = (result.status == status::kIoError && !(after && *after == *before)) ||
                           (!settled && !ReadsTheSame(file, head.image.Bytes()));
      if (!changed) return result;
      continue;  // refused from what may be a mix of two versions: read it again
    }
    // A 6.x file is read as far as the pages its PAT places reach, not to its length: a short
    // library with a long tail of nothing costs what the library holds.
    std::uint64_t limit = judged.readLimit;
    if (judged.placedThroughPat) {
      limit = PlacedPagesLimit(
          head.image.Bytes(), before->size, [&file](std::uint64_t page, std::span<std::byte> into) {
            const std::optional<std::size_t> got = file.ReadAt(page * into.size(), into);
            return got && *got == into.size();
          });
    }
    // Read into memory of our own: a session keeps the bytes it opened whatever the host does next.
    LoadResult loaded = limit <= head.image.Size() ? std::move(head) : file.Load(limit);
    if (loaded.status != status::kSuccess) {
      if (loaded.outOfMemory) {
        refuse(loaded.status, Check::kNoMemory).Values(limit);
      } else {
        refuse(loaded.status, Check::kCannotRead);
      }
      return result;
    }
    // Fewer bytes than the file had when the read began: it was cut short meanwhile.
    const bool whole = loaded.image.Size() >= limit;
    if (!whole || (!settled && !ReadsTheSame(file, loaded.image.Bytes()))) continue;
    // The header and PAT that the image holds must set the limit that the first read of them set:
    // a file changed between the two reads is read again.
    if (limit < before->size) {
      const std::span<const std::byte> image = loaded.image.Bytes();
      const std::span<const std::byte> imageHead =
          image.first(std::min<std::size_t>(image.size(), kHeaderBytes));
      const HeaderJudgement rejudged = JudgeHeader(imageHead, before->size);
      std::uint64_t again = rejudged.readLimit;
      if (rejudged.placedThroughPat) {
        again = PlacedPagesLimit(
            imageHead, before->size, [image](std::uint64_t page, std::span<std::byte> into) {
              if (page >= image.size() / into.size()) return false;
              std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(page * into.size()),
                          into.size(), into.begin());
              return true;
            });
      }
      if (rejudged.reason.status != status::kSuccess || again != limit) continue;
    }
    // A 6.x file counts its pages to its end, however few of them were read.
    if (judged.placedThroughPat) loaded.image.SetFileSize(before->size);
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
