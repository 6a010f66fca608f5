// Whole-process timing of the record manager, as a user of kl7 sees it: one fresh process opens a
// file and reads every record by Get Equal on key 0, then exits. whole_process_read.sh runs it
// against cat of the same file.
//
//   whole_process_read write <path> <pre6|v6> <records> <record length> <page size> [shuffled]
//                            [string]
//       writes a library-style file (key 0 = INTEGER 1..records at the record's end), its records
//       stored in key order or, with "shuffled", in an order drawn at random (fixed seed); with
//       "string", key 0 is a STRING of 16 bytes at the record's end instead: 1..records as eight
//       decimal digits and eight blanks
//   whole_process_read read <path>
//       Open, Stat, Get Equal for keys 1..(records in Stat), Close; prints the records read
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "btrieve/btrieve.h"
#include "btrieve/writer/writer.h"

namespace {

constexpr std::size_t kStringKeyLength = 16;

// Key value k of a STRING key: eight decimal digits, then blanks.
void WriteStringKey(int k, std::span<std::byte> out) {
  char text[32];
  const int digits = std::snprintf(text, sizeof text, "%08d", k);
  std::fill(out.begin(), out.end(), std::byte{' '});
  std::memcpy(out.data(), text, std::min<std::size_t>(static_cast<std::size_t>(digits), 8));
}

int Write(const std::string& path, const std::string& format, int records, int recordLength,
          int pageSize, bool shuffled, bool stringKey) {
  using namespace btrieve::writer;
  const auto length = static_cast<std::uint16_t>(recordLength);
  const std::size_t keyLength = stringKey ? kStringKeyLength : 4;
  const auto keyOffset = static_cast<std::uint16_t>(length - keyLength);
  std::vector<std::vector<std::byte>> rows;
  rows.reserve(static_cast<std::size_t>(records));
  for (int k = 1; k <= records; ++k) {
    std::vector<std::byte> record(length, std::byte{'x'});
    if (stringKey) {
      WriteStringKey(k, std::span(record).subspan(keyOffset, keyLength));
    } else {
      for (int i = 0; i < 4; ++i)
        record[keyOffset + static_cast<std::size_t>(i)] =
            static_cast<std::byte>((k >> (8 * i)) & 0xFF);
    }
    rows.push_back(std::move(record));
  }
  if (shuffled) std::shuffle(rows.begin(), rows.end(), std::mt19937(20261208));
  const Format which = format == "v6" ? Format::kV6 : Format::kPre6;
  FileSpec spec =
      LibrarySpec(which, static_cast<std::uint16_t>(pageSize), length, keyOffset, std::move(rows));
  if (stringKey) {
    spec.keys.front().segments.front().length = static_cast<std::uint16_t>(keyLength);
    spec.keys.front().segments.front().type = key_type::kString;
  }
  WriteFile(path, Build(spec).bytes);
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
  // Key 0's length, from its spec after the file's: 4 for INTEGER keys.
  std::uint16_t keyLength = 0;
  std::memcpy(&keyLength, data.data() + 16 + 2, 2);
  std::uint32_t read = 0;
  std::array<std::byte, kStringKeyLength> value{};
  for (std::uint32_t k = 1; k <= records; ++k) {
    if (keyLength == kStringKeyLength) {
      WriteStringKey(static_cast<int>(k), value);
    } else {
      const auto number = static_cast<std::int32_t>(k);
      std::memcpy(value.data(), &number, 4);
    }
    length = static_cast<std::uint32_t>(data.size());
    if (btrieve::BTRCALL(btrieve::kOpGetEqual, block.data(), data.data(), &length, value.data(),
                         static_cast<std::uint8_t>(keyLength), 0) == 0)
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
    if (verb == "write" && argc >= 7 && argc <= 9) {
      bool shuffled = false;
      bool stringKey = false;
      bool known = true;
      for (int i = 7; i < argc; ++i) {
        const std::string word = argv[i];
        shuffled = shuffled || word == "shuffled";
        stringKey = stringKey || word == "string";
        known = known && (word == "shuffled" || word == "string");
      }
      if (known) {
        return Write(argv[2], argv[3], std::stoi(argv[4]), std::stoi(argv[5]), std::stoi(argv[6]),
                     shuffled, stringKey);
      }
    }
    if (verb == "read" && argc == 3) return Read(argv[2]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "whole_process_read: %s\n", error.what());
    return 1;
  }
  std::fprintf(
      stderr,
      "usage: whole_process_read write <path> <pre6|v6> <records> <length> <page> [shuffled] "
      "[string]\n"
      "       whole_process_read read <path>\n");
  return 2;
}
