// Turns the sample library sources (UTF-8 text, one entry per line after a header line) into
// library files KL7xx.DAT in an output directory. Used by the build; never touches anything but the
// output directory.
//
//   make_samples OUTPUT-DIRECTORY SOURCE...
//
// A source is named KL7xx.txt and starts with a header line such as
//   # kl7-sample layout=current format=v6 record-length=80
//   # kl7-sample layout=16bit format=pre6 entry-length=40
// Every further line is one entry, in order from entry 1; an empty line is an empty entry.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "libfile/writer/library_writer.h"
#include "text/codepage.h"
#include "text/number.h"

namespace {

using libfile::writer::LibraryContents;
using libfile::writer::RecordLayout;

constexpr std::string_view kHeaderStart = "# kl7-sample";

std::vector<std::string> Lines(const std::string& contents) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream stream(contents);
  while (std::getline(stream, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::map<std::string, std::string> HeaderFields(std::string_view header) {
  std::map<std::string, std::string> fields;
  std::istringstream stream{std::string(header.substr(kHeaderStart.size()))};
  std::string word;
  while (stream >> word) {
    const std::size_t equals = word.find('=');
    if (equals == std::string::npos) throw std::runtime_error("header word without '=': " + word);
    fields[word.substr(0, equals)] = word.substr(equals + 1);
  }
  return fields;
}

std::uint16_t Number(const std::map<std::string, std::string>& fields, const std::string& name) {
  const auto found = fields.find(name);
  if (found == fields.end()) throw std::runtime_error("header lacks " + name);
  const text::NumberConversion number = text::ConvertNumber(found->second);
  if (!number.ok || number.value <= 0 || number.value > 65535)
    throw std::runtime_error("bad " + name + ": " + found->second);
  return static_cast<std::uint16_t>(number.value);
}

LibraryContents ReadSource(const std::filesystem::path& source) {
  std::ifstream in(source, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read");
  std::ostringstream buffer;
  buffer << in.rdbuf();
  const std::vector<std::string> lines = Lines(buffer.str());
  if (lines.empty() || !lines[0].starts_with(kHeaderStart))
    throw std::runtime_error("first line is not a '# kl7-sample' header");
  const auto fields = HeaderFields(lines[0]);

  LibraryContents contents;
  const std::string layout = fields.count("layout") ? fields.at("layout") : "";
  if (layout == "current") {
    contents.layout = RecordLayout::kCurrent;
    contents.recordLength = Number(fields, "record-length");
  } else if (layout == "16bit") {
    contents.layout = RecordLayout::kSixteenBit;
    contents.entryLength = Number(fields, "entry-length");
  } else {
    throw std::runtime_error("layout must be current or 16bit");
  }
  const std::string format = fields.count("format") ? fields.at("format") : "";
  if (format == "v6") {
    contents.format = btrieve::writer::Format::kV6;
  } else if (format == "pre6") {
    contents.format = btrieve::writer::Format::kPre6;
  } else {
    throw std::runtime_error("format must be pre6 or v6");
  }
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::optional<std::string> entry = text::Utf8ToCp1252(lines[i]);
    if (!entry) throw std::runtime_error("line " + std::to_string(i + 1) + " is not Windows-1252");
    contents.texts.push_back(std::move(*entry));
  }
  return contents;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: make_samples OUTPUT-DIRECTORY SOURCE...\n";
    return 2;
  }
  const std::filesystem::path output = argv[1];
  std::error_code error;
  std::filesystem::create_directories(output, error);
  if (error) {
    std::cerr << "make_samples: " << output.string() << ": " << error.message() << "\n";
    return 1;
  }
  for (int i = 2; i < argc; ++i) {
    const std::filesystem::path source = argv[i];
    try {
      const LibraryContents contents = ReadSource(source);
      const std::string name = source.stem().string() + ".DAT";
      libfile::writer::WriteLibraryFile(output / name, contents);
    } catch (const std::exception& failure) {
      std::cerr << "make_samples: " << source.string() << ": " << failure.what() << "\n";
      return 1;
    }
  }
  return 0;
}
