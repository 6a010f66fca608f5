// Whole-process timing of the record manager, as a user of kl7 sees it: one fresh process opens a
// file and reads every record by Get Equal on key 0, then exits. whole_process_read.sh runs it
// against cat of the same file.
//
//   whole_process_read write <path> <pre6|v6> <records> <record length> <page size> [shuffled]
//       writes a library-style file (key 0 = INTEGER 1..records at the record's end), its records
//       stored in key order or, with "shuffled", in an order drawn at random (fixed seed)
//   whole_process_read read <path>
//       Open, Stat, Get Equal for keys 1..(records in Stat), Close; prints the records read
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <random>
#include <string>
#include <vector>

#include "btrieve/btrieve.h"
#include "btrieve/writer/writer.h"

namespace {

int Write(const std::string& path, const std::string& format, int records, int recordLength,
          int pageSize, bool shuffled) {
  using namespace btrieve::writer;
  const auto length = static_cast<std::uint16_t>(recordLength);
  const auto keyOffset = static_cast<std::uint16_t>(length - 4);
  std::vector<std::vector<std::byte>> rows;
  rows.reserve(static_cast<std::size_t>(records));
  for (int k = 1; k <= records; ++k) {
    std::vector<std::byte> record(length, std::byte{'x'});
    for (int i = 0; i < 4; ++i)
      record[keyOffset + static_cast<std::size_t>(i)] =
          static_cast<std::byte>((k >> (8 * i)) & 0xFF);
    rows.push_back(std::move(record));
  }
  if (shuffled) std::shuffle(rows.begin(), rows.end(), std::mt19937(20261208));
  const Format which = format == "v6" ? Format::kV6 : Format::kPre6;
  WriteFile(path, Build(LibrarySpec(which, static_cast<std::uint16_t>(pageSize), length, keyOffset,
                                    std::move(rows)))
                      .bytes);
  return 0;
}

int Read(std::string path) {
  std::array<std::byte, btrieve::kPositionBlockSize> block{};
  char owner = 0;
  std::uint32_t length = 1;
  std::uint16_t status =
      btrieve::BTRCALL(btrieve::kOpOpen, block.data(), &owner, &length, path.data(), 0, -2);
  if (status != 0) {
    std::fprintf(stderr, "open: status %u\n", status);
    return 1;
  }
  std::vector<std::byte> data(65535);
  std::array<std::byte, 255> key{};
  length = static_cast<std::uint32_t>(data.size());
  status =
      btrieve::BTRCALL(btrieve::kOpStat, block.data(), data.data(), &length, key.data(), 255, 0);
  if (status != 0) {
    std::fprintf(stderr, "stat: status %u\n", status);
    return 1;
  }
  std::uint32_t records = 0;
  std::memcpy(&records, data.data() + 6, 4);
  std::uint32_t read = 0;
  for (std::uint32_t k = 1; k <= records; ++k) {
    std::int32_t value = static_cast<std::int32_t>(k);
    length = static_cast<std::uint32_t>(data.size());
    if (btrieve::BTRCALL(btrieve::kOpGetEqual, block.data(), data.data(), &length, &value, 4, 0) ==
        0)
      ++read;
  }
  length = 0;
  (void)btrieve::BTRCALL(btrieve::kOpClose, block.data(), &owner, &length, path.data(), 0, 0);
  std::printf("%u\n", read);
  return read == records ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string verb = argc > 1 ? argv[1] : "";
    if (verb == "write" && (argc == 7 || argc == 8)) {
      return Write(argv[2], argv[3], std::stoi(argv[4]), std::stoi(argv[5]), std::stoi(argv[6]),
                   argc == 8 && std::string(argv[7]) == "shuffled");
    }
    if (verb == "read" && argc == 3) return Read(argv[2]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "whole_process_read: %s\n", error.what());
    return 1;
  }
  std::fprintf(
      stderr,
      "usage: whole_process_read write <path> <pre6|v6> <records> <length> <page> [shuffled]\n"
      "       whole_process_read read <path>\n");
  return 2;
}
