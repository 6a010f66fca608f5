// How long the loader takes for a whole library, and for a library whose every entry refers into
// another one (each reference reloads its target; an unchanged target must not cost a full read
// each time). Run by hand: build/bench/library_cache_bench.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "libfile/record_manager.h"
#include "libfile/writer/library_writer.h"
#include "libraries/library_cache.h"

namespace {

using btrieve::writer::Format;
using libfile::writer::LibraryContents;
using libfile::writer::RecordLayout;

constexpr int kEntries = 65535;

struct BenchDirectory {
  BenchDirectory() {
    path = std::filesystem::temp_directory_path() /
           ("kl7-cache-bench-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directory(path);
  }
  ~BenchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  [[nodiscard]] std::string Utils() const { return (path / "").string(); }
  void Write(std::uint8_t number, const LibraryContents& contents) const {
    libfile::writer::WriteLibraryFile(path / libfile::writer::LibraryFileNameFor(number), contents);
  }
  std::filesystem::path path;
};

LibraryContents Library(RecordLayout layout, Format format, std::vector<std::string> texts) {
  LibraryContents contents;
  contents.layout = layout;
  contents.format = format;
  contents.recordLength = 80;
  contents.entryLength = 40;
  contents.pageSize = 4096;
  contents.texts = std::move(texts);
  return contents;
}

std::vector<std::string> PlainTexts() {
  std::vector<std::string> texts;
  texts.reserve(kEntries);
  for (int k = 1; k <= kEntries; ++k)
    texts.push_back("Eintrag Nummer " + std::to_string(k));
  return texts;
}

// The record manager keeps a file's parsed form only once the file has not changed for two
// seconds, as a library directory in use has not.
void LetSettle() {
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
}

// (a) One library of 65,535 entries, loaded as the window loads it (with resolution).
void LoadWholeLibrary(benchmark::State& state, RecordLayout layout, Format format) {
  BenchDirectory dir;
  dir.Write(1, Library(layout, format, PlainTexts()));
  LetSettle();
  libfile::NativeRecordManager manager;
  core::LibraryCache cache(manager, dir.Utils());
  bool is16Bit = false;
  for (auto _ : state) {
    if (!cache.LoadLibraryList(1, true, true, is16Bit)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(cache.LibraryLists(1));
  }
  state.counters["entries"] = kEntries;
}

// (b) 65,535 references LIB[2,k] into a library of 65,535 entries.
void LoadReferences(benchmark::State& state, RecordLayout layout, Format format) {
  BenchDirectory dir;
  std::vector<std::string> references;
  references.reserve(kEntries);
  for (int k = 1; k <= kEntries; ++k)
    references.push_back("LIB[2," + std::to_string(k) + "]");
  dir.Write(1, Library(RecordLayout::kCurrent, format, std::move(references)));
  dir.Write(2, Library(layout, format, PlainTexts()));
  LetSettle();
  libfile::NativeRecordManager manager;
  core::LibraryCache cache(manager, dir.Utils());
  bool is16Bit = false;
  for (auto _ : state) {
    if (!cache.LoadLibraryList(1, true, true, is16Bit)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(cache.LibraryLists(1));
  }
  const core::tcodelist& list = *cache.LibraryLists(1);
  if (list[kEntries] != "LIB[2,65535] ---> Eintrag Nummer 65535") {
    state.SkipWithError("references not resolved");
  }
}

BENCHMARK_CAPTURE(LoadWholeLibrary, current_v6, RecordLayout::kCurrent, Format::kV6)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadWholeLibrary, current_pre6, RecordLayout::kCurrent, Format::kPre6)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadWholeLibrary, older_v6, RecordLayout::kSixteenBit, Format::kV6)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadWholeLibrary, older_pre6, RecordLayout::kSixteenBit, Format::kPre6)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadReferences, into_current_v6, RecordLayout::kCurrent, Format::kV6)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadReferences, into_older_pre6, RecordLayout::kSixteenBit, Format::kPre6)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
