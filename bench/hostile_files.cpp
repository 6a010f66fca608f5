// The tool behind hostile_files.sh: writes the crafted and damaged utils directories and files that
// the script times kl7 and kl7view on.
//
//   hostile_files write <dir>
//       <dir>/amplify: a catalogue of 65,535 entries LIB[1,1] whose target holds 4,073 bytes
//       <dir>/damaged: 65,535 references into a library whose FCR claims one record more than it
//       has <dir>/missing: 65,535 references into a library that does not exist, beside 5,000 files
//       <dir>/shared/SHARED.DAT: 8,000 variable-length records whose chains all run into one chain
//                                of 6,250 small fragments
//       <dir>/deep/DEEP.DAT: a key whose index is 100,000 pages deep, each page the only child of
//                            the one before it
//       <dir>/sparse/KL700.DAT: a 6.x library of three entries (hostile_files.sh extends it with a
//                               sparse tail to just under 4 GiB)
//       <dir>/web: 256 libraries of 4,096 references each, entry k of every library to entry k of
//                  library k modulo 256
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "btrieve/writer/writer.h"
#include "libfile/writer/library_writer.h"

namespace {

namespace fs = std::filesystem;
using libfile::writer::LibraryContents;

void WriteLibrary(const fs::path& dir, std::uint8_t number, LibraryContents contents) {
  fs::create_directories(dir);
  libfile::writer::WriteLibraryFile(dir / libfile::writer::LibraryFileNameFor(number), contents);
}

LibraryContents References(const std::string& reference) {
  LibraryContents contents;
  contents.texts.assign(65535, reference);
  return contents;
}

void WriteShared(const fs::path& dir) {
  using namespace btrieve::writer;
  fs::create_directories(dir);
  FileSpec spec;
  spec.format = Format::kV6;
  spec.pageSize = 4096;
  spec.recordLength = 8;
  spec.fileFlags = file_flag::kVariableLength;
  spec.maxFragmentData = 16;
  spec.keys = {Key{{{0, 4, key_type::kInteger, key_flag::kExtendedType, 0}}}};
  for (int id = 0; id < 8000; ++id) {
    std::vector<std::byte> record(8, std::byte{0});
    for (int i = 0; i < 4; ++i)
      record[static_cast<std::size_t>(i)] = static_cast<std::byte>((id >> (8 * i)) & 0xFF);
    if (id == 0) record.resize(8 + 100000, std::byte{'v'});
    spec.records.push_back(std::move(record));
  }
  BuiltFile built = Build(spec);
  // Every slot's variable-part pointer (after the usage count and the fixed part) is record 0's.
  const std::size_t first = built.layout.recordSlots[0] + 2 + spec.recordLength;
  for (const std::size_t slot : built.layout.recordSlots) {
    for (std::size_t i = 0; i < 4; ++i)
      built.bytes[slot + 2 + spec.recordLength + i] = built.bytes[first + i];
  }
  WriteFile(dir / "SHARED.DAT", built.bytes);
}

// A word-swapped 32-bit value: the high word first, each word little-endian.
void PutWs32(std::vector<std::byte>& bytes, std::size_t at, std::uint32_t value) {
  const std::uint32_t words[2] = {value >> 16, value & 0xFFFF};
  for (std::size_t w = 0; w < 2; ++w) {
    bytes[at + 2 * w] = static_cast<std::byte>(words[w] & 0xFF);
    bytes[at + 2 * w + 1] = static_cast<std::byte>(words[w] >> 8);
  }
}

void WriteDeep(const fs::path& dir) {
  using namespace btrieve::writer;
  constexpr std::uint32_t kDepth = 100000;
  constexpr std::size_t kPage = 512;
  fs::create_directories(dir);
  FileSpec spec = LibrarySpec(Format::kPre6, kPage, 16, 0);
  for (std::int32_t id = 1; id <= 1000; ++id) {
    std::vector<std::byte> record(16, std::byte{0});
    for (int i = 0; i < 4; ++i)
      record[static_cast<std::size_t>(i)] = static_cast<std::byte>((id >> (8 * i)) & 0xFF);
    spec.records.push_back(std::move(record));
  }
  BuiltFile built = Build(spec);
  // Index pages appended after the file's own pages, each with no entry and the next as its last
  // child; key 0's root is the first of them.
  const std::uint32_t first = built.layout.pageCount;
  built.bytes.resize((std::size_t{first} + kDepth) * kPage, std::byte{0});
  for (std::uint32_t d = 0; d < kDepth; ++d) {
    const std::size_t at = (std::size_t{first} + d) * kPage;
    PutWs32(built.bytes, at, first + d);
    built.bytes[at + 4] = std::byte{1};
    PutWs32(built.bytes, at + 8, d + 1 < kDepth ? first + d + 1 : 0xFFFFFFFF);
  }
  PutWs32(built.bytes, 0x26, first + kDepth);  // pages in the file
  PutWs32(built.bytes, 0x110, first);          // key 0's root
  WriteFile(dir / "DEEP.DAT", built.bytes);
}

int Write(const fs::path& root) {
  LibraryContents target;
  target.format = btrieve::writer::Format::kPre6;
  target.recordLength = 4090;
  target.texts = {std::string(4073, 'T')};
  WriteLibrary(root / "amplify", 0, References("LIB[1,1]"));
  WriteLibrary(root / "amplify", 1, target);

  WriteLibrary(root / "damaged", 0, References("LIB[2,1]"));
  LibraryContents damaged;
  damaged.texts = {"eins", "zwei"};
  btrieve::writer::FileSpec spec = libfile::writer::LibraryFileSpec(damaged);
  spec.recordCountOverride = 3;
  btrieve::writer::WriteFile(root / "damaged" / "KL702.DAT", btrieve::writer::Build(spec).bytes);

  WriteLibrary(root / "missing", 0, References("LIB[3,1]"));
  for (int i = 0; i < 5000; ++i)
    std::ofstream(root / "missing" / ("note" + std::to_string(i) + ".txt")) << i;

  WriteShared(root / "shared");
  WriteDeep(root / "deep");

  LibraryContents three;
  three.texts = {"eins", "zwei", "drei"};
  WriteLibrary(root / "sparse", 0, three);

  for (int n = 0; n < 256; ++n) {
    LibraryContents web;
    for (int k = 1; k <= 4096; ++k)
      web.texts.push_back("LIB[" + std::to_string(k % 256) + "," + std::to_string(k) + "]");
    WriteLibrary(root / "web", static_cast<std::uint8_t>(n), std::move(web));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 3 && std::string(argv[1]) == "write") return Write(argv[2]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "hostile_files: %s\n", error.what());
    return 1;
  }
  std::fprintf(stderr, "usage: hostile_files write <dir>\n");
  return 2;
}
