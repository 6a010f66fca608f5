// Writes the fuzzer's seed corpus: small record files of both formats with the structures the
// reader checks (several keys and types, duplicate chains, stale copies, shadow pages, free and
// deleted slots, variable-length records, collating sequences). Usage: fuzz_seed_writer <folder>.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "btrieve/writer/writer.h"

namespace {

using namespace btrieve::writer;

std::vector<std::byte> Record(int id, std::uint16_t length) {
  std::vector<std::byte> record(length, std::byte{0});
  for (int i = 0; i < 4; ++i)
    record[static_cast<std::size_t>(i)] = static_cast<std::byte>((id >> (8 * i)) & 0xFF);
  const std::string text = "Eintrag " + std::to_string(id % 7);
  for (std::size_t i = 0; i < text.size() && 4 + i < length; ++i)
    record[4 + i] = static_cast<std::byte>(text[i]);
  return record;
}

FileSpec Spec(Format format, std::uint16_t pageSize, int records) {
  constexpr std::uint16_t kLength = 24;
  std::vector<std::vector<std::byte>> rows;
  for (int i = 0; i < records; ++i)
    rows.push_back(Record((i * 5) % records + 1, kLength));
  FileSpec spec = LibrarySpec(format, pageSize, kLength, 0, rows);
  spec.keys.push_back(
      {{{4, 12, key_type::kZString, key_flag::kExtendedType | key_flag::kDuplicates, 0}}});
  spec.keys.push_back(
      {{{4, 4, key_type::kString, key_flag::kExtendedType | key_flag::kNullAny, ' '},
        {16, 2, key_type::kUnsignedBinary, key_flag::kExtendedType, 0}}});
  return spec;
}

// Variable-length records spread over several short fragments, and keys ordered through a
// collating sequence, case-insensitively and as LSTRING.
FileSpec VariableSpec(Format format) {
  FileSpec spec = Spec(format, 512, 0);
  spec.fileFlags = file_flag::kVariableLength;
  spec.maxFragmentData = 40;
  CollatingSequence upper;
  upper.name = "UPPER";
  for (unsigned i = 0; i < 256; ++i)
    upper.table[i] = static_cast<std::uint8_t>(i >= 'a' && i <= 'z' ? i - 32 : i);
  spec.collatingSequences.push_back(upper);
  spec.keys.push_back(
      {{{4, 6, key_type::kString,
         key_flag::kExtendedType | key_flag::kAlternateCollation | key_flag::kDuplicates, 0, 0}}});
  spec.keys.push_back(
      {{{10, 6, key_type::kLString,
         key_flag::kExtendedType | key_flag::kCaseInsensitive | key_flag::kDuplicates, 0}}});
  for (int i = 0; i < 12; ++i) {
    std::vector<std::byte> record = Record(i + 1, 24);
    record[10] = static_cast<std::byte>(i % 6);
    for (int j = 0; j < (i * 29) % 150; ++j)
      record.push_back(static_cast<std::byte>(j));
    spec.records.push_back(std::move(record));
  }
  return spec;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seed_writer <folder>\n");
    return 2;
  }
  try {
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    int n = 0;
    const auto write = [&](const FileSpec& spec) {
      WriteFile(folder / ("seed-" + std::to_string(n++) + ".dat"), Build(spec).bytes);
    };
    for (const Format format : {Format::kPre6, Format::kV6}) {
      write(Spec(format, 512, 0));
      write(Spec(format, 512, 3));
      FileSpec many = Spec(format, 512, 60);
      write(many);
      if (format == Format::kV6) {
        many.staleFcr = StaleCopy::kFirst;
        many.stalePat = StaleCopy::kFirst;
        many.shadowPages = 1;
        many.freeSlotEvery = 4;
      } else {
        many.deletedEvery = 4;
      }
      write(many);
      write(VariableSpec(format));
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "fuzz_seed_writer: %s\n", error.what());
    return 1;
  }
  return 0;
}
