// Tests of the record-file writer: the byte-exact minimal files of both formats, and the structure
// of each deliberate damage variant (the reader's own tests exercise the files in depth).
#include "btrieve/writer/writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

namespace btrieve::writer {
namespace {

using Bytes = std::vector<std::byte>;

// ---- small decoders over the built image ----

std::uint16_t U16(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(std::to_integer<unsigned>(b.at(at)) |
                                    std::to_integer<unsigned>(b.at(at + 1)) << 8);
}
[[maybe_unused]] std::uint32_t Ws32(const Bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(U16(b, at)) << 16 | U16(b, at + 2);
}
std::uint8_t U8(const Bytes& b, std::size_t at) {
  return std::to_integer<std::uint8_t>(b.at(at));
}
[[maybe_unused]] std::uint32_t PrefPage(const Bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(U8(b, at)) << 16 | U16(b, at + 2);
}
[[maybe_unused]] std::uint8_t PrefType(const Bytes& b, std::size_t at) {
  return U8(b, at + 1);
}

Bytes Page(const Bytes& b, std::size_t page, std::size_t pageSize) {
  return Bytes(b.begin() + static_cast<std::ptrdiff_t>(page * pageSize),
               b.begin() + static_cast<std::ptrdiff_t>((page + 1) * pageSize));
}

// Writes "aa bb cc" hex text into page at offset.
void PutHex(Bytes& page, std::size_t at, const std::string& hex) {
  std::istringstream in(hex);
  std::string item;
  while (in >> item)
    page.at(at++) = static_cast<std::byte>(std::stoul(item, nullptr, 16));
}

// A record of `length` bytes: 0, "entry n" from offset 1, INTEGER n at keyOffset.
Bytes EntryRecord(std::uint16_t length, std::uint16_t keyOffset, std::int32_t n) {
  Bytes record(length, std::byte{0});
  const std::string text = "entry " + std::to_string(n);
  std::memcpy(record.data() + 1, text.data(), text.size());
  std::memcpy(record.data() + keyOffset, &n, 4);
  return record;
}

std::vector<Bytes> EntryRecords(std::uint16_t length, std::uint16_t keyOffset, int count) {
  std::vector<Bytes> records;
  for (int n = 1; n <= count; ++n)
    records.push_back(EntryRecord(length, keyOffset, n));
  return records;
}

// ---- byte-exact minimal files ----

TEST(Writer, BuildsTheMinimalV6FileByteForByte) {
  const BuiltFile built = Build(LibrarySpec(Format::kV6, 4096, 64, 48, EntryRecords(64, 48, 3)));
  ASSERT_EQ(built.bytes.size(), 6u * 4096);

  Bytes fcr(4096, std::byte{0});
  PutHex(fcr, 0x000, "46 43 00 00 02 00 00 00 00 10 00 00 ff ff ff ff");
  PutHex(fcr, 0x010, "ff ff ff ff 01 00 40 00 42 00 00 00 03 00 00 00");
  PutHex(fcr, 0x020, "00 00 ff ff 01 00 00 00 03 00 00 00 00 00 00 00");
  PutHex(fcr, 0x040, "00 00 00 00 00 00 00 00 00 00 00 06 00 00 00 00");
  PutHex(fcr, 0x070, "00 00 00 00 00 00 01 01 10 0f 00 00 00 00 00 00");
  PutHex(fcr, 0x110, "00 80 01 00 00 00 03 00 00 01 04 00 0c 00 54 01");
  PutHex(fcr, 0x120, "aa 00 00 00 32 00 04 00 80 00 00 00 01 00 00 00");
  PutHex(fcr, 0xf10, "10 01");
  EXPECT_EQ(Page(built.bytes, 0, 4096), fcr);

  Bytes staleFcr = fcr;
  PutHex(staleFcr, 0x004, "01");
  PutHex(staleFcr, 0x01c, "00");
  PutHex(staleFcr, 0x028, "01");
  EXPECT_EQ(Page(built.bytes, 1, 4096), staleFcr);

  Bytes pat(4096, std::byte{0});
  PutHex(pat, 0x000, "50 50 01 00 02 00 00 00 00 80 04 00 00 44 05 00");
  EXPECT_EQ(Page(built.bytes, 2, 4096), pat);
  Bytes stalePat(4096, std::byte{0});
  PutHex(stalePat, 0x000, "50 50 01 00 01 00 00 00");
  EXPECT_EQ(Page(built.bytes, 3, 4096), stalePat);

  Bytes index(4096, std::byte{0});
  PutHex(index, 0x000, "00 80 01 00 01 00 03 00 ff ff ff ff ff ff ff ff");
  PutHex(index, 0x010, "01 00 00 00 00 00 06 20 ff ff ff ff 02 00 00 00");
  PutHex(index, 0x020, "00 00 48 20 ff ff ff ff 03 00 00 00 00 00 8a 20");
  PutHex(index, 0x030, "ff ff ff ff");
  EXPECT_EQ(Page(built.bytes, 4, 4096), index);

  Bytes data(4096, std::byte{0});
  PutHex(data, 0x000, "00 44 02 00 01 80");
  for (int n = 1; n <= 3; ++n) {
    const std::size_t slot = 6 + 66 * static_cast<std::size_t>(n - 1);
    PutHex(data, slot, "01 00");
    const Bytes record = EntryRecord(64, 48, n);
    std::copy(record.begin(), record.end(), data.begin() + static_cast<std::ptrdiff_t>(slot + 2));
  }
  PutHex(data, 0x000, "00 44 02 00 01 80 01 00 00 65 6e 74 72 79 20 31");  // as dumped
  PutHex(data, 0x038, "01 00 00 00");
  PutHex(data, 0x048, "01 00 00 65 6e 74 72 79 20 32");
  EXPECT_EQ(Page(built.bytes, 5, 4096), data);

  EXPECT_EQ(built.layout.currentFcrPage, 0u);
  EXPECT_EQ(built.layout.currentPatPages, std::vector<std::uint32_t>{2});
  EXPECT_EQ(built.layout.dataPages, std::vector<std::uint32_t>{5});
  EXPECT_EQ(built.layout.recordAddresses, (std::vector<std::uint32_t>{0x2006, 0x2048, 0x208A}));
}

TEST(Writer, BuildsTheMinimalPre6FileByteForByte) {
  const BuiltFile built = Build(LibrarySpec(Format::kPre6, 512, 64, 48, EntryRecords(64, 48, 3)));
  ASSERT_EQ(built.bytes.size(), 3u * 512);

  Bytes fcr(512, std::byte{0});
  PutHex(fcr, 0x000, "00 00 00 00 01 00 00 04 00 02 00 00 ff ff ff ff");
  PutHex(fcr, 0x010, "ff ff ff ff 01 00 40 00 40 00 00 00 03 00 00 00");
  PutHex(fcr, 0x020, "02 00 00 00 01 00 00 00 03 00");  // last data page 2, 3 pages
  PutHex(fcr, 0x110, "00 00 01 00 00 00 03 00 00 01 04 00 0c 00 29 00");
  PutHex(fcr, 0x120, "14 00 00 00 30 00 04 00 00 00 00 00 01 00");
  EXPECT_EQ(Page(built.bytes, 0, 512), fcr);

  Bytes index(512, std::byte{0});
  PutHex(index, 0x000, "00 00 01 00 01 00 03 00 ff ff ff ff ff ff ff ff");
  PutHex(index, 0x010, "01 00 00 00 00 00 06 04 ff ff ff ff 02 00 00 00");
  PutHex(index, 0x020, "00 00 46 04 ff ff ff ff 03 00 00 00 00 00 86 04");
  PutHex(index, 0x030, "ff ff ff ff");
  EXPECT_EQ(Page(built.bytes, 1, 512), index);

  Bytes data(512, std::byte{0});
  PutHex(data, 0x000, "00 00 02 00 01 80");
  for (int n = 1; n <= 3; ++n) {
    const Bytes record = EntryRecord(64, 48, n);
    std::copy(record.begin(), record.end(), data.begin() + 6 + 64 * (n - 1));
  }
  EXPECT_EQ(Page(built.bytes, 2, 512), data);
}

}  // namespace
}  // namespace btrieve::writer
