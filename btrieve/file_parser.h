// Recognises, validates and decodes a whole record-file image into its parsed form. Every byte of
// the image is treated as hostile: a file that cannot be read answers a status, never a crash, and
// nothing is allocated beyond what the image's size allows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "btrieve/file_image.h"
#include "btrieve/parsed_file.h"
#include "btrieve/reason.h"

namespace btrieve {

// The largest image the parser takes: slot offsets are kept in 32 bits.
inline constexpr std::uint64_t kMaxImageSize = 0xFFFFFFFFU;

struct ParseResult {
  std::uint16_t status = 0;                // 0, 30 (not a supported record file) or 2 (damaged)
  std::shared_ptr<const ParsedFile> file;  // set exactly when status is 0
  Reason reason;                           // why, when status is not 0
};

// Parses the image of a whole file: recognises the format (pre-6.0 versions 3-5, 6.0/6.1; pages of
// a multiple of 512 up to 4096), chooses the current FCR and PAT copies, collects the current
// records, checks their number against the FCR and orders them by key 0. Plain variable-length
// files are read; their variable parts are checked when a Get reaches them. 30: unknown signature,
// unsupported page size or version; compressed, key-only or variable-tail-table file; variable
// length with blank truncation or with disagreeing markers, or with slot overhead the flags do not
// announce. 2: damaged (PAT without "PP", a pointer outside the file, a page header that
// contradicts the PAT, slot sizes or key segments that do not fit, a record count that differs from
// the FCR's, a pre-6.0 file that needs recovery, contradicting duplicate chains of key 0 or a
// missing ACS of key 0). The parsed file keeps the image.
[[nodiscard]] ParseResult ParseFile(FileImage image);

// The bytes JudgeHeader needs from the start of a file: both FCR copies at the largest page size.
inline constexpr std::uint64_t kHeaderBytes = 8192;

struct HeaderJudgement {
  Reason reason;                // status 0, or what ParseFile would answer for the whole file
  std::uint64_t readLimit = 0;  // how many bytes from the start the parse can use
  // 6.x files place their pages through the PAT: PlacedPagesLimit can tell how few bytes serve.
  bool placedThroughPat = false;
};

// Judges a file of `fileSize` bytes from its first min(fileSize, kHeaderBytes) bytes, before the
// rest is read: the format is recognised and the record shape checked, as ParseFile does first.
// A file refused here answers the same status from ParseFile; one accepted may still be refused
// by the parse of its pages. The limit is the file's size, or less where the header says that
// nothing after it is read (the pages of a pre-6.0 file).
[[nodiscard]] HeaderJudgement JudgeHeader(std::span<const std::byte> head, std::uint64_t fileSize);

// Fills `into` (one page) with physical page `page` of the file; false when it cannot.
using PageReader = std::function<bool(std::uint64_t page, std::span<std::byte> into)>;

// For a 6.x file that JudgeHeader accepted from `head`: how many bytes from the start hold the FCR
// and PAT pages and every page that the current PAT copies place, so that the rest of the file is
// never read (a file's length is no measure of what it holds). Reads the PAT pages through
// `readPage`, two per PAT pair. Answers the file's size wherever the parse is to judge the whole
// file: a PAT page or placed page outside the file, or a PAT page that cannot be read.
[[nodiscard]] std::uint64_t PlacedPagesLimit(std::span<const std::byte> head,
                                             std::uint64_t fileSize, const PageReader& readPage);
[[nodiscard]] ParseResult ParseFile(std::vector<std::byte> image);

}  // namespace btrieve
