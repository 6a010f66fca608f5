// Recognises, validates and decodes a whole record-file image into its parsed form. Every byte of
// the image is treated as hostile: a file that cannot be read answers a status, never a crash, and
// nothing is allocated beyond what the image's size allows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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
[[nodiscard]] ParseResult ParseFile(std::vector<std::byte> image);

}  // namespace btrieve
