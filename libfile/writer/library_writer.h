// Writes library files KL7xx.DAT in either record layout from a list of entry texts, as genuine
// record files, for tests, benchmarks and the bundled sample libraries. Never linked into the
// programs that read libraries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "btrieve/writer/writer.h"

namespace libfile::writer {

enum class RecordLayout {
  kCurrent,     // one record per entry: data (byte 0, text from byte 1) and a 16-byte trailer
  kSixteenBit,  // the older layout: header records, then entries of L data bytes in 1 or more parts
};

struct LibraryContents {
  RecordLayout layout = RecordLayout::kCurrent;
  btrieve::writer::Format format = btrieve::writer::Format::kV6;
  // Current layout: the record length R (17 to 4090); the data part is R - 16 bytes.
  std::uint16_t recordLength = 80;
  // Older layout: the entry length L (1 to 65519); entries longer than 2032 bytes are split.
  std::uint16_t entryLength = 40;
  // 0 chooses the smallest page size that holds one record.
  std::uint16_t pageSize = 0;
  // Entry k is texts[k - 1], Windows-1252 bytes. A text too long for the data part is cut; one
  // that fills the data part exactly (R - 17 or L - 1 bytes) is stored without a zero byte.
  std::vector<std::string> texts;
};

// The record-file description of `contents` (for callers that want to add damage variants).
[[nodiscard]] btrieve::writer::FileSpec LibraryFileSpec(const LibraryContents& contents);

// The bytes of the library file.
[[nodiscard]] std::vector<std::byte> BuildLibraryFile(const LibraryContents& contents);

// Writes the library file to `path`, replacing it. Throws std::runtime_error on failure.
void WriteLibraryFile(const std::filesystem::path& path, const LibraryContents& contents);

// "KL7" + two upper-case hexadecimal digits + ".DAT".
[[nodiscard]] std::string LibraryFileNameFor(std::uint8_t number);

}  // namespace libfile::writer
