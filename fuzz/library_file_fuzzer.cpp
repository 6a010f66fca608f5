// Feeds arbitrary bytes to both library-file classes as one library file on disk: TBasisDatei32
// and TBasisDatei each open it, take their layout and count from it and read entries (the first
// ones, the last, and numbers beyond both ends) into the loader's record buffer and into one as
// short as the input's last byte says. Any crash, sanitizer report, hang or huge allocation is a
// finding.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "libfile/basis_datei.h"
#include "libfile/basis_datei32.h"
#include "libfile/library_file_context.h"
#include "libfile/record_manager.h"

namespace {

constexpr std::size_t kRecordBufferSize = 65529;  // the loader's record buffer
constexpr std::int32_t kMaxEntriesRead = 2000;

// The entry numbers read from a file that reports `count`: 1 up to a bound, the last and its
// neighbours, and numbers no file has.
std::vector<std::int32_t> EntryNumbers(std::int32_t count) {
  std::vector<std::int32_t> numbers;
  for (std::int32_t k = 1; k <= std::min(count, kMaxEntriesRead); ++k)
    numbers.push_back(k);
  for (const std::int32_t k : {count - 1, count, count + 1, 0, -1, INT32_MAX, INT32_MIN})
    numbers.push_back(k);
  return numbers;
}

template <typename File>
void ReadAll(libfile::LibraryFileContext& context, const std::string& name,
             std::vector<std::byte>& buffer, std::size_t shortSize) {
  std::int32_t count = 0;
  File file(context, name, buffer, count, -2);
  std::array<std::byte, File::kTrailerLength> trailer{};
  for (const std::int32_t k : EntryNumbers(count)) {
    (void)file.ReadEntry(k, buffer, trailer);
    (void)file.ReadEntry(k, std::span(buffer).first(shortSize), trailer);
  }
  (void)file.Close();
  (void)file.Close();  // a second Close answers, too
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::HeapBudget budget(size, std::size_t{8} << 20, 16);
  const std::string name = (fuzz::ScratchFolder() / "KL700.DAT").string();
  fuzz::WriteBytes(name, fuzz::AsText(data, size));
  const std::size_t shortSize = size > 0 ? std::size_t{data[size - 1]} * 16 : 0;

  static libfile::NativeRecordManager manager;
  static libfile::LibraryFileContext context(manager);
  static std::vector<std::byte> buffer(kRecordBufferSize);
  ReadAll<libfile::TBasisDatei32>(context, name, buffer, shortSize);
  ReadAll<libfile::TBasisDatei>(context, name, buffer, shortSize);

  // The header in a buffer just too short for it, and in none at all.
  std::int32_t count = 0;
  std::vector<std::byte> tiny(shortSize % 64);
  { libfile::TBasisDatei32 file(context, name, tiny, count, -2); }
  { libfile::TBasisDatei file(context, name, tiny, count, -2); }
  return 0;
}
