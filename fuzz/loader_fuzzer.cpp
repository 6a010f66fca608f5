// Feeds arbitrary bytes to the loader as a whole utils directory: the input is cut at "#KL7#"
// into a control part and file parts. A file part is a library number, a flags byte (bit 0: the
// file name in lower case) and the file's bytes; it becomes KL7xx.DAT in a fresh utils folder.
// The control part is the library opened after the catalogue, a flags byte (bit 0: load it a
// second time without resolution, bit 1: and without a reload) and a text handed to the resolver.
// The load then goes as in the window: the catalogue with references resolved, every library
// written, the chosen one, and the lists are walked whole. Any crash, sanitizer report, hang or
// huge allocation is a finding.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "fuzz_support.h"
#include "libfile/record_manager.h"
#include "libraries/library_cache.h"

namespace {

constexpr std::size_t kMaxFiles = 8;

std::string FileName(std::uint8_t number, bool lowerCase) {
  std::string name = core::LibraryFileName("", number);
  if (lowerCase) {
    for (char& c : name)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}

// Touches every byte of every text of the cached list of `number`, and makes each joined text as
// the window does when it draws a row.
std::size_t Walk(const core::LibraryCache& cache, int number) {
  const std::shared_ptr<const core::tcodelist> list = cache.SharedList(number);
  if (list == nullptr) return 0;
  std::size_t sum = 0;
  for (std::size_t i = 0; i < list->Count(); ++i) {
    const core::EntryText entry = (*list)[i];
    for (const char c : entry.head)
      sum += static_cast<unsigned char>(c);
    for (const char c : entry.tail)
      sum += static_cast<unsigned char>(c);
    sum += entry.String().size();
  }
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::HeapBudget budget(size, std::size_t{8} << 20, 32);
  const std::vector<std::string_view> parts = fuzz::SplitParts(fuzz::AsText(data, size));
  const std::filesystem::path utils = fuzz::ScratchFolder() / "utils";
  std::error_code error;
  std::filesystem::remove_all(utils, error);
  if (!std::filesystem::create_directory(utils, error)) std::abort();

  std::vector<std::uint8_t> written;
  for (std::size_t i = 1; i < parts.size() && written.size() < kMaxFiles; ++i) {
    const std::string_view part = parts[i];
    if (part.size() < 2) continue;
    const auto number = static_cast<std::uint8_t>(part[0]);
    const bool lowerCase = (static_cast<unsigned char>(part[1]) & 1) != 0;
    fuzz::WriteBytes(utils / FileName(number, lowerCase), part.substr(2));
    written.push_back(number);
  }

  const std::string_view control = parts[0];
  const auto chosen = static_cast<std::uint8_t>(control.size() > 0 ? control[0] : 1);
  const unsigned flags = control.size() > 1 ? static_cast<unsigned char>(control[1]) : 0;
  std::string text(control.size() > 2 ? control.substr(2) : std::string_view());

  static libfile::NativeRecordManager manager;
  core::LibraryCache cache(manager, utils.string() + "/");
  bool is16Bit = false;
  std::size_t sum = 0;
  (void)cache.LoadLibraryList(0, true, true, is16Bit);
  sum += Walk(cache, 0);
  for (const std::uint8_t number : written) {
    (void)cache.LoadLibraryList(number, true, true, is16Bit);
    sum += Walk(cache, number);
  }
  (void)cache.LoadLibraryList(chosen, true, true, is16Bit);
  if ((flags & 1) != 0) (void)cache.LoadLibraryList(chosen, (flags & 2) == 0, false, is16Bit);
  sum += Walk(cache, chosen);
  (void)cache.SetText(chosen, 1, text);
  cache.ResolveReference(text);
  cache.ReleaseLibraryList(chosen);
  sum += Walk(cache, chosen) + text.size();
  static volatile std::size_t sink = 0;
  sink = sink + sum;
  return 0;
}
