// Feeds arbitrary text to the reference parser (and so to the number conversion it uses) and
// checks what it promises: only a text that begins with "LIB" and holds a "," is a reference.
// libFuzzer hands over exactly `size` bytes, so a read past the text's end is caught.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "fuzz_support.h"
#include "libraries/reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::AsText(data, size);
  const std::optional<core::Reference> reference = core::ParseReference(text);
  if (reference && (!text.starts_with("LIB") || text.find(',') == std::string_view::npos))
    std::abort();
  return 0;
}
