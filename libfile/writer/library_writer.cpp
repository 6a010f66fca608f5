// Library files from entry texts, in both record layouts.
#include "libfile/writer/library_writer.h"

#include <algorithm>
#include <stdexcept>

namespace libfile::writer {

namespace {

constexpr std::uint16_t kCurrentTrailer = 16;
constexpr std::uint16_t kOlderTrailer = 10;
constexpr std::uint16_t kOlderMaxRecord = 2042;
constexpr std::uint16_t kOlderSplitRecord = 2034;
constexpr std::uint16_t kOlderSplitPart = 2024;

void PutNumber(std::vector<std::byte>& record, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    record[at + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
}

// The data part of one entry: a marker byte, the text, and a zero byte when there is room.
std::vector<std::byte> EntryData(std::size_t dataLength, const std::string& text) {
  std::vector<std::byte> data(dataLength, std::byte{0});
  if (dataLength == 0) return data;
  data[0] = std::byte{0x20};
  const std::size_t length = std::min(text.size(), dataLength - 1);
  for (std::size_t i = 0; i < length; ++i)
    data[i + 1] = static_cast<std::byte>(text[i]);
  return data;
}

std::uint16_t PageSizeFor(std::uint16_t pageSize, std::uint16_t recordLength) {
  if (pageSize != 0) return pageSize;
  for (std::uint16_t candidate : {512, 1024, 2048, 4096}) {
    // Room for the page header and a slot with its overhead.
    if (recordLength + 64u <= candidate) return candidate;
  }
  return 4096;
}

}  // namespace

btrieve::writer::FileSpec LibraryFileSpec(const LibraryContents& contents) {
  std::vector<std::vector<std::byte>> records;
  std::uint16_t recordLength = 0;
  std::uint16_t keyOffset = 0;
  if (contents.layout == RecordLayout::kCurrent) {
    if (contents.recordLength <= kCurrentTrailer || contents.recordLength > 4090)
      throw std::invalid_argument("record length out of range");
    recordLength = contents.recordLength;
    keyOffset = static_cast<std::uint16_t>(recordLength - kCurrentTrailer);
    records.reserve(contents.texts.size());
    std::uint32_t k = 0;
    for (const std::string& text : contents.texts) {
      std::vector<std::byte> record = EntryData(keyOffset, text);
      record.resize(recordLength, std::byte{0});
      PutNumber(record, keyOffset, ++k);
      records.push_back(std::move(record));
    }
  } else {
    const std::uint32_t entryLength = contents.entryLength;
    if (entryLength == 0 || entryLength > 65519) throw std::invalid_argument("entry length");
    const bool split = entryLength + kOlderTrailer > kOlderMaxRecord;
    const std::uint32_t partLength = split ? kOlderSplitPart : entryLength;
    recordLength =
        static_cast<std::uint16_t>(split ? kOlderSplitRecord : entryLength + kOlderTrailer);
    keyOffset = static_cast<std::uint16_t>(partLength);
    const std::uint32_t headerRecords = split ? 1 : kOlderMaxRecord / (entryLength + kOlderTrailer);
    const std::uint32_t parts = split ? (entryLength + kOlderSplitPart - 1) / kOlderSplitPart : 1;
    std::uint32_t recordNumber = 0;
    auto add = [&](std::vector<std::byte> record) {
      record.resize(recordLength, std::byte{0});
      PutNumber(record, keyOffset, ++recordNumber);
      records.push_back(std::move(record));
    };
    for (std::uint32_t h = 0; h < headerRecords; ++h) {
      std::vector<std::byte> record(recordLength, std::byte{0});
      if (h == 0) {
        record[0] = static_cast<std::byte>(entryLength & 0xFF);
        record[1] = static_cast<std::byte>(entryLength >> 8);
      }
      add(std::move(record));
    }
    for (const std::string& text : contents.texts) {
      const std::vector<std::byte> data = EntryData(entryLength, text);
      for (std::uint32_t p = 0; p < parts; ++p) {
        std::vector<std::byte> record(recordLength, std::byte{0});
        const std::size_t from = std::size_t{p} * partLength;
        const std::size_t length = std::min<std::size_t>(partLength, data.size() - from);
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(from), length, record.begin());
        add(std::move(record));
      }
    }
  }
  return btrieve::writer::LibrarySpec(contents.format, PageSizeFor(contents.pageSize, recordLength),
                                      recordLength, keyOffset, std::move(records));
}

std::vector<std::byte> BuildLibraryFile(const LibraryContents& contents) {
  return btrieve::writer::Build(LibraryFileSpec(contents)).bytes;
}

void WriteLibraryFile(const std::filesystem::path& path, const LibraryContents& contents) {
  btrieve::writer::WriteFile(path, BuildLibraryFile(contents));
}

std::string LibraryFileNameFor(std::uint8_t number) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  std::string name = "KL7";
  name += kHexDigits[number >> 4];
  name += kHexDigits[number & 0x0F];
  name += ".DAT";
  return name;
}

}  // namespace libfile::writer
