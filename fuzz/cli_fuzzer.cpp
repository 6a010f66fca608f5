// Feeds arbitrary bytes to kl7's html export and check over a whole utils directory, in the
// loader fuzzer's input form: cut at "#KL7#" into a control part and file parts (a library number,
// a flags byte with bit 0 for a lower-case file name, the file's bytes). The control part's first
// byte chooses: bit 5 skips the html export, bit 6 skips check, bit 7 exports without resolving
// references (so the loader's seeds run both). The output is counted, not kept. Any crash,
// sanitizer report, hang or heap out of proportion to the input is a finding.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "cli/kl7.h"
#include "fuzz_support.h"
#include "libfile/record_manager.h"
#include "libraries/library_cache.h"

namespace {

constexpr std::size_t kMaxFiles = 8;

// A stream buffer that counts what is written and keeps nothing.
class CountingBuffer : public std::streambuf {
 public:
  std::size_t Count() const { return m_count; }

 protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) ++m_count;
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* text, std::streamsize n) override {
    (void)text;
    m_count += static_cast<std::size_t>(n);
    return n;
  }

 private:
  std::size_t m_count = 0;
};

std::string FileName(std::uint8_t number, bool lowerCase) {
  std::string name = core::LibraryFileName("", number);
  if (lowerCase) {
    for (char& c : name)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::HeapBudget budget(size, std::size_t{16} << 20, 32);
  const std::vector<std::string_view> parts = fuzz::SplitParts(fuzz::AsText(data, size));
  const std::filesystem::path utils = fuzz::ScratchFolder() / "utils";
  std::error_code error;
  std::filesystem::remove_all(utils, error);
  if (!std::filesystem::create_directory(utils, error)) std::abort();
  std::size_t files = 0;
  for (std::size_t i = 1; i < parts.size() && files < kMaxFiles; ++i) {
    const std::string_view part = parts[i];
    if (part.size() < 2) continue;
    const auto number = static_cast<std::uint8_t>(part[0]);
    const bool lowerCase = (static_cast<unsigned char>(part[1]) & 1) != 0;
    fuzz::WriteBytes(utils / FileName(number, lowerCase), part.substr(2));
    ++files;
  }
  const std::string_view control = parts[0];
  const unsigned flags = control.empty() ? 0 : static_cast<unsigned char>(control[0]);

  CountingBuffer counted;
  std::ostream out(&counted);
  std::ostream err(&counted);
  if ((flags & 0x20) == 0) {
    std::vector<std::string> arguments = {"export", "--format", "html", utils.string()};
    if ((flags & 0x80) != 0) arguments.push_back("--no-resolve");
    (void)cli::Run(arguments, out, err);
  }
  if ((flags & 0x40) == 0)
    (void)cli::Run(std::vector<std::string>{"check", utils.string()}, out, err);
  static volatile std::size_t sink = 0;
  sink = sink + counted.Count();
  return 0;
}
