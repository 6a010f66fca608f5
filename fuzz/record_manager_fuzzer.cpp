// Feeds arbitrary bytes to the record manager as a record file: the parser directly (every record
// of every key order copied whole, and the walk of every key's index pages that kl7 verify makes),
// and the file on disk through BTRCALL (Open, Stat, Get Last, and
// a Get Equal / Get Next walk on every key). Any crash, sanitizer report, hang or huge allocation
// is a finding.
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "btrieve/btrieve.h"
#include "btrieve/file_parser.h"
#include "btrieve/index_walk.h"
#include "fuzz_support.h"

namespace {

// One scratch file per fuzzing process, rewritten for every input.
const std::string& ScratchPath() {
  static const std::string path = [] {
    const char* folder = std::getenv("TMPDIR");
    std::string pattern = std::string(folder != nullptr ? folder : "/tmp") + "/kl7-fuzz-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) std::abort();
    ::close(fd);
    return pattern;
  }();
  return path;
}

void WriteScratch(const std::uint8_t* data, std::size_t size) {
  FILE* file = std::fopen(ScratchPath().c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
}

std::vector<std::byte>& Buffer() {
  static std::vector<std::byte> buffer(std::size_t{1} << 20);
  return buffer;
}

void WalkParsed(const btrieve::ParsedFile& file) {
  std::vector<std::byte>& buffer = Buffer();
  for (std::size_t k = 0; k < file.Keys().size(); ++k) {
    const btrieve::KeyOrder& order = file.Order(k);
    for (const std::uint32_t record : order.records) {
      const btrieve::RecordCopy whole = file.CopyRecord(record, buffer);
      const btrieve::RecordCopy part =
          file.CopyRecord(record, std::span(buffer).first(whole.copied / 2 + 1));
      if (whole.copied > buffer.size() || part.copied > whole.copied / 2 + 1) std::abort();
    }
  }
}

void WalkThroughBtrcall(std::uint8_t shortBy) {
  using namespace btrieve;
  std::array<std::byte, kPositionBlockSize> block{};
  std::string name = ScratchPath();
  char owner = 0;
  std::uint32_t length = 1;
  if (BTRCALL(kOpOpen, block.data(), &owner, &length, name.data(), 0, -2) != status::kSuccess)
    return;
  std::vector<std::byte>& data = Buffer();
  length = static_cast<std::uint32_t>(data.size());
  std::array<std::byte, 256> key{};
  (void)BTRCALL(kOpStat, block.data(), data.data(), &length, key.data(), 255, 0);
  const auto keys =
      static_cast<std::int8_t>(length >= 6 ? std::to_integer<int>(data[4]) & 0x7F : 0);
  for (std::int8_t k = 0; k <= keys; ++k) {  // one key number past the last on purpose
    length = static_cast<std::uint32_t>(data.size());
    if (BTRCALL(kOpGetLast, block.data(), data.data(), &length, key.data(), 255, k) != 0) continue;
    // The last key's value, then the lowest value (all zero bytes) as far as the key reaches.
    for (const bool lowest : {false, true}) {
      if (lowest) key.fill(std::byte{0});
      length = static_cast<std::uint32_t>(data.size()) - shortBy;
      std::uint16_t result =
          BTRCALL(kOpGetEqual, block.data(), data.data(), &length, key.data(), 255, k);
      for (int steps = 0; steps < 70000 && (result == 0 || result == 22 || result == 54); ++steps) {
        length = static_cast<std::uint32_t>(data.size()) - shortBy;
        result = BTRCALL(kOpGetNext, block.data(), data.data(), &length, key.data(), 255, k);
      }
    }
  }
  length = 0;
  (void)BTRCALL(kOpClose, block.data(), &owner, &length, name.data(), 0, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::HeapBudget budget(size, std::size_t{8} << 20, 16);
  std::vector<std::byte> image(size);
  for (std::size_t i = 0; i < size; ++i)
    image[i] = static_cast<std::byte>(data[i]);
  const btrieve::ParseResult parsed = btrieve::ParseFile(std::move(image));
  if (parsed.status == btrieve::status::kSuccess) {
    WalkParsed(*parsed.file);
    (void)btrieve::WalkIndexes(*parsed.file);
  }

  WriteScratch(data, size);
  WalkThroughBtrcall(size > 0 ? data[0] : 0);
  return 0;
}
