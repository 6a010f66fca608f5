// A temporary utils directory built with the library writer, and a way to run kl7 in-process and
// collect what it printed on each stream.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "cli/kl7.h"
#include "libfile/writer/library_writer.h"

namespace cli::testing {

using libfile::writer::LibraryContents;
using libfile::writer::RecordLayout;

class TempDirectory {
 public:
  TempDirectory() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
      m_path = base / ("kl7-cli-" + std::to_string(random()));
      std::error_code error;
      if (std::filesystem::create_directory(m_path, error)) break;
    }
  }
  ~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  [[nodiscard]] std::string Path() const { return m_path.string(); }
  [[nodiscard]] std::string FileOf(std::uint8_t number) const {
    return (m_path / libfile::writer::LibraryFileNameFor(number)).string();
  }

  void WriteCurrent(std::uint8_t number, std::vector<std::string> texts,
                    btrieve::writer::Format format = btrieve::writer::Format::kV6,
                    std::uint16_t recordLength = 80) const {
    LibraryContents contents;
    contents.format = format;
    contents.recordLength = recordLength;
    contents.texts = std::move(texts);
    libfile::writer::WriteLibraryFile(FileOf(number), contents);
  }
  void WriteOlder(std::uint8_t number, std::vector<std::string> texts,
                  btrieve::writer::Format format = btrieve::writer::Format::kPre6,
                  std::uint16_t entryLength = 40) const {
    LibraryContents contents;
    contents.layout = RecordLayout::kSixteenBit;
    contents.format = format;
    contents.entryLength = entryLength;
    contents.texts = std::move(texts);
    libfile::writer::WriteLibraryFile(FileOf(number), contents);
  }
  void WriteBytes(const std::string& name, const std::string& bytes) const {
    std::FILE* file = std::fopen((m_path / name).string().c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }

 private:
  std::filesystem::path m_path;
};

struct RunResult {
  int exitStatus = -1;
  std::string out;
  std::string err;
};

inline RunResult RunKl7(std::vector<std::string> arguments) {
  std::ostringstream out;
  std::ostringstream err;
  RunResult result;
  result.exitStatus = Run(arguments, out, err);
  result.out = out.str();
  result.err = err.str();
  return result;
}

// `text` with every occurrence of `from` replaced by `to`.
inline std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

}  // namespace cli::testing
