// The loader as a whole process, for library_load_process.sh:
//
//   library_load_process write <dir>
//       writes a utils directory of 65,535-entry libraries: KL701.DAT (current layout, 6.x),
//       KL702.DAT (current layout, pre-6.0), KL703.DAT (older layout, pre-6.0), KL704.DAT (older
//       layout, 6.x), and KL705.DAT, whose every entry k refers to entry k of library 1;
//   library_load_process load <dir> <number>
//       loads one library as the window does (references resolved) and exits; the status is 0
//       when the load succeeded.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "btrieve/process_heap.h"
#include "libfile/record_manager.h"
#include "libfile/writer/library_writer.h"
#include "libraries/library_cache.h"

namespace {

using btrieve::writer::Format;
using libfile::writer::LibraryContents;
using libfile::writer::RecordLayout;

constexpr int kEntries = 65535;

void Write(const std::string& dir, std::uint8_t number, RecordLayout layout, Format format,
           std::vector<std::string> texts) {
  LibraryContents contents;
  contents.layout = layout;
  contents.format = format;
  contents.recordLength = 80;
  contents.entryLength = 40;
  contents.pageSize = 4096;
  contents.texts = std::move(texts);
  libfile::writer::WriteLibraryFile(dir + "/" + libfile::writer::LibraryFileNameFor(number),
                                    contents);
}

int WriteAll(const std::string& dir) {
  std::vector<std::string> plain;
  std::vector<std::string> references;
  for (int k = 1; k <= kEntries; ++k) {
    plain.push_back("Eintrag Nummer " + std::to_string(k));
    references.push_back("LIB[1," + std::to_string(k) + "]");
  }
  Write(dir, 1, RecordLayout::kCurrent, Format::kV6, plain);
  Write(dir, 2, RecordLayout::kCurrent, Format::kPre6, plain);
  Write(dir, 3, RecordLayout::kSixteenBit, Format::kPre6, plain);
  Write(dir, 4, RecordLayout::kSixteenBit, Format::kV6, plain);
  Write(dir, 5, RecordLayout::kCurrent, Format::kV6, references);
  return 0;
}

int Load(const std::string& dir, int number) {
  // As in the programs, the cache lives until the process ends and is not taken down before.
  static libfile::NativeRecordManager manager;
  auto& cache = *new core::LibraryCache(manager, dir + "/");
  bool is16Bit = false;
  if (!cache.LoadLibraryList(static_cast<std::uint8_t>(number), true, true, is16Bit)) return 1;
  return cache.LibraryLists(number)->Count() == kEntries + 1 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "write" && argc == 3) return WriteAll(argv[2]);
  // As the programs do, before anything allocates much.
  if (mode == "load") btrieve::PrepareProcessHeap();
  if (mode == "load" && argc == 4) return Load(argv[2], std::atoi(argv[3]));
  std::fprintf(stderr,
               "usage: library_load_process write <dir>\n"
               "       library_load_process load <dir> <number>\n");
  return 2;
}
