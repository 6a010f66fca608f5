#include "btrieve/writer/writer.h"

#include <stdexcept>

namespace btrieve::writer {

BuiltFile Build(const FileSpec&) { throw std::invalid_argument("not written yet"); }

void WriteFile(const std::filesystem::path&, const std::vector<std::byte>&) {
  throw std::runtime_error("not written yet");
}

FileSpec LibrarySpec(Format, std::uint16_t, std::uint16_t, std::uint16_t,
                     std::vector<std::vector<std::byte>>) {
  return {};
}

}  // namespace btrieve::writer
