// How long the record manager takes to open a library file and to read every entry of it by number,
// for files of both formats built by the writer. Run by hand: build/bench/record_manager_bench.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "btrieve/btrieve.h"
#include "btrieve/writer/writer.h"

namespace {

using btrieve::writer::Format;

// A library file of `entries` records of `recordLength` bytes; the entry number is key 0, in the
// trailer.
std::filesystem::path MakeLibrary(Format format, int entries, std::uint16_t recordLength) {
  std::vector<std::vector<std::byte>> records;
  records.reserve(entries);
  const std::uint16_t keyOffset = recordLength - 16;
  for (int k = 1; k <= entries; ++k) {
    std::vector<std::byte> record(recordLength, std::byte{'x'});
    record[recordLength - 17] = std::byte{0};
    for (int i = 0; i < 4; ++i)
      record[keyOffset + i] = std::byte((k >> (8 * i)) & 0xFF);
    records.push_back(std::move(record));
  }
  const auto spec = btrieve::writer::LibrarySpec(format, 4096, recordLength, keyOffset, records);
  const auto path = std::filesystem::temp_directory_path() /
                    ("kl7-bench-" + std::to_string(std::random_device{}()) + ".DAT");
  btrieve::writer::WriteFile(path, btrieve::writer::Build(spec).bytes);
  return path;
}

// `reuse`: the file has settled, so the record manager may serve its parsed form again; otherwise
// the file is touched before every open and must be read anew.
void OpenAndReadAll(benchmark::State& state, Format format, bool reuse) {
  const int entries = static_cast<int>(state.range(0));
  const auto path = MakeLibrary(format, entries, 120);
  if (reuse) {
    // The parsed form is kept only for a file that has not changed for two seconds.
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  }
  std::string name = path.string();
  std::array<std::byte, 332> position{};
  std::vector<std::byte> record(4096);
  std::byte owner{0};
  for (auto _ : state) {
    if (!reuse) {
      state.PauseTiming();
      std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now());
      state.ResumeTiming();
    }
    position.fill(std::byte{0});
    std::uint32_t length = 1;
    if (btrieve::BTRCALL(btrieve::kOpOpen, position.data(), &owner, &length, name.data(), 0, -2) !=
        0) {
      state.SkipWithError("open failed");
      break;
    }
    for (std::int32_t k = 1; k <= entries; ++k) {
      std::int32_t key = k;
      length = static_cast<std::uint32_t>(record.size());
      benchmark::DoNotOptimize(btrieve::BTRCALL(btrieve::kOpGetEqual, position.data(),
                                                record.data(), &length, &key, 4, 0));
    }
    length = 0;
    (void)btrieve::BTRCALL(btrieve::kOpClose, position.data(), &owner, &length, name.data(), 0, 1);
  }
  state.SetItemsProcessed(state.iterations() * entries);
  std::filesystem::remove(path);
}

void BM_ReadAnewPre6(benchmark::State& state) {
  OpenAndReadAll(state, Format::kPre6, false);
}
void BM_ReadAnewV6(benchmark::State& state) {
  OpenAndReadAll(state, Format::kV6, false);
}
void BM_ReusedV6(benchmark::State& state) {
  OpenAndReadAll(state, Format::kV6, true);
}

BENCHMARK(BM_ReadAnewPre6)->Arg(500)->Arg(65535)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAnewV6)->Arg(500)->Arg(65535)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReusedV6)->Arg(500)->Arg(65535)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
