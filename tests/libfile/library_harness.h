// Builds a library file, record by record, and serves it to the file classes either from memory (a
// scripted record manager) or from a genuine file on disk in either record-file format (the native
// record manager); every call is recorded in both cases.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "btrieve/writer/writer.h"
#include "libfile/key_value.h"
#include "libfile/library_file_context.h"
#include "scripted_record_manager.h"

namespace libfile::testing {

enum class Backend { kScripted, kPre6File, kV6File };

inline std::string BackendName(Backend backend) {
  switch (backend) {
    case Backend::kScripted:
      return "Scripted";
    case Backend::kPre6File:
      return "Pre6File";
    case Backend::kV6File:
      return "V6File";
  }
  return "?";
}

// Fixed-length records keyed by a 4-byte record number stored at keyOffset.
struct LibraryImage {
  std::uint16_t recordLength = 0;
  std::uint16_t keyOffset = 0;
  std::map<std::int32_t, std::vector<std::byte>> records;

  void Add(std::int32_t key, std::vector<std::byte> record) {
    const KeyBuffer bytes = EncodeKey(key);
    std::copy(bytes.begin(), bytes.end(), record.begin() + keyOffset);
    records[key] = std::move(record);
  }
};

// A record of the current layout: byte 0, the text from byte 1 with its zero byte, filler, and the
// 16-byte trailer that starts with the entry number.
inline std::vector<std::byte> CurrentLayoutRecord(std::uint16_t recordLength,
                                                  std::string_view text) {
  std::vector<std::byte> record(recordLength, std::byte{0});
  record[0] = std::byte{0x7F};
  for (std::size_t i = 0; i < text.size() && i + 1 < recordLength; ++i) {
    record[i + 1] = static_cast<std::byte>(text[i]);
  }
  for (std::size_t i = recordLength - 12; i < recordLength; ++i)
    record[i] = std::byte(0xA0 + i % 16);
  return record;
}

// The L data bytes of entry e: a marker byte, its text with a zero byte, then a pattern that tells
// every position apart.
inline std::vector<std::byte> EntryData(std::uint16_t dataLength, int e) {
  std::vector<std::byte> data(dataLength);
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] = std::byte((i * 7 + e * 13 + 1) & 0xFF);
  const std::string text = "Eintrag " + std::to_string(e);
  data[0] = std::byte{0x7F};
  for (std::size_t i = 0; i <= text.size() && i + 1 < data.size(); ++i) {
    data[i + 1] = i < text.size() ? static_cast<std::byte>(text[i]) : std::byte{0};
  }
  return data;
}

struct SixteenBitLayout {
  int headerRecords;
  int parts;
  std::uint16_t recordLength;
  std::uint16_t partLength;
};

inline SixteenBitLayout LayoutFor(std::uint16_t dataLength) {
  const int entryLength = dataLength + 10;
  if (entryLength <= 2042) return {2042 / entryLength, 1, std::uint16_t(entryLength), dataLength};
  return {1, (dataLength + 2023) / 2024, 2034, 2024};
}

// A "16Bit" library of `entries` entries; record 1 starts with L. Each record ends in a 10-byte
// trailer that starts with its record number. `lastRecord` cuts the file after that record when
// positive.
inline LibraryImage SixteenBitImage(std::uint16_t dataLength, int entries, int lastRecord = 0) {
  const SixteenBitLayout layout = LayoutFor(dataLength);
  LibraryImage image{layout.recordLength, layout.partLength, {}};
  auto add = [&](int key, std::vector<std::byte> record) {
    if (lastRecord <= 0 || key <= lastRecord) image.Add(key, std::move(record));
  };
  for (int h = 1; h <= layout.headerRecords; ++h) {
    std::vector<std::byte> record(layout.recordLength);
    if (h == 1) {
      record[0] = std::byte(dataLength & 0xFF);
      record[1] = std::byte(dataLength >> 8);
    }
    add(h, record);
  }
  for (int e = 1; e <= entries; ++e) {
    const auto data = EntryData(dataLength, e);
    for (int p = 0; p < layout.parts; ++p) {
      std::vector<std::byte> record(layout.recordLength);
      for (std::size_t i = 0; i < layout.partLength; ++i) {
        const std::size_t at = std::size_t(p) * layout.partLength + i;
        if (at < data.size()) record[i] = data[at];
      }
      for (int t = 4; t < 10; ++t)
        record[layout.partLength + t] = std::byte(0xE0 + e);
      add(layout.headerRecords + (e - 1) * layout.parts + p + 1, record);
    }
  }
  return image;
}

inline std::filesystem::path UniqueTempDirectory() {
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    const auto candidate = base / ("kl7-libfile-" + std::to_string(random()));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) return candidate;
  }
}

class LibraryHarness {
 public:
  LibraryHarness(Backend backend, const LibraryImage& image, std::uint16_t pageSize = 0)
      : m_recorder(backend == Backend::kScripted ? nullptr : &m_native), m_context(m_recorder) {
    if (backend == Backend::kScripted) {
      for (const auto& [key, record] : image.records)
        m_recorder.AddRecord(key, record);
      m_recorder.SetStatRecordLength(image.recordLength);
      m_fileName = "KL7MEM.DAT";
      return;
    }
    const auto format = backend == Backend::kPre6File ? btrieve::writer::Format::kPre6
                                                      : btrieve::writer::Format::kV6;
    if (pageSize == 0) pageSize = image.recordLength + 16 <= 1024 ? 1024 : 4096;
    std::vector<std::vector<std::byte>> records;
    for (const auto& [key, record] : image.records)
      records.push_back(record);
    const auto spec = btrieve::writer::LibrarySpec(format, pageSize, image.recordLength,
                                                   image.keyOffset, std::move(records));
    m_directory = UniqueTempDirectory();
    const auto path = m_directory / "KL7TEST.DAT";
    btrieve::writer::WriteFile(path, btrieve::writer::Build(spec).bytes);
    m_fileName = path.string();
  }

  ~LibraryHarness() {
    if (!m_directory.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(m_directory, ignored);
    }
  }

  LibraryHarness(const LibraryHarness&) = delete;
  LibraryHarness& operator=(const LibraryHarness&) = delete;

  [[nodiscard]] LibraryFileContext& Context() { return m_context; }
  [[nodiscard]] ScriptedRecordManager& Recorder() { return m_recorder; }
  [[nodiscard]] const std::string& FileName() const { return m_fileName; }

 private:
  NativeRecordManager m_native;
  ScriptedRecordManager m_recorder;
  LibraryFileContext m_context;
  std::filesystem::path m_directory;
  std::string m_fileName;
};

}  // namespace libfile::testing
