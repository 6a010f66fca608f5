// A fresh temporary directory that tests fill with library files KL7xx.DAT built from texts; it is
// removed with everything in it when the object goes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "libfile/writer/library_writer.h"

namespace kl7test {

using libfile::writer::LibraryContents;
using libfile::writer::RecordLayout;

class LibraryDirectory {
 public:
  explicit LibraryDirectory(std::string_view prefix = "kl7-test") {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
      m_path = base / (std::string(prefix) + "-" + std::to_string(random()));
      std::error_code error;
      if (std::filesystem::create_directory(m_path, error)) break;
    }
  }
  ~LibraryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  LibraryDirectory(const LibraryDirectory&) = delete;
  LibraryDirectory& operator=(const LibraryDirectory&) = delete;

  // With "/" between its parts on every system (Windows takes either separator), so that what the
  // programs print with it reads alike everywhere.
  [[nodiscard]] std::string Path() const { return m_path.generic_string(); }
  // The "UTILS" value: the directory with its trailing separator.
  [[nodiscard]] std::string Utils() const { return (m_path / "").generic_string(); }
  [[nodiscard]] std::string FileOf(std::uint8_t number) const {
    return (m_path / libfile::writer::LibraryFileNameFor(number)).generic_string();
  }

  void Write(std::uint8_t number, const LibraryContents& contents) const {
    libfile::writer::WriteLibraryFile(FileOf(number), contents);
  }
  void WriteCurrent(std::uint8_t number, std::vector<std::string> texts,
                    btrieve::writer::Format format = btrieve::writer::Format::kV6,
                    std::uint16_t recordLength = 80) const {
    LibraryContents contents;
    contents.format = format;
    contents.recordLength = recordLength;
    contents.texts = std::move(texts);
    Write(number, contents);
  }
  void WriteOlder(std::uint8_t number, std::vector<std::string> texts,
                  btrieve::writer::Format format = btrieve::writer::Format::kPre6,
                  std::uint16_t entryLength = 40) const {
    LibraryContents contents;
    contents.layout = RecordLayout::kSixteenBit;
    contents.format = format;
    contents.entryLength = entryLength;
    contents.texts = std::move(texts);
    Write(number, contents);
  }
  // Replaces a file (a new one, not the old one rewritten) with `bytes`.
  void WriteBytes(const std::string& name, const std::string& bytes) const {
    const std::filesystem::path path = m_path / name;
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (file == nullptr) return;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  void WriteBytes(std::uint8_t number, const std::string& bytes) const {
    WriteBytes(libfile::writer::LibraryFileNameFor(number), bytes);
  }

 private:
  std::filesystem::path m_path;
};

}  // namespace kl7test
