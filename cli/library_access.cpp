// Library files of a utils directory, and loads through the viewer's cache.
#include "cli/library_access.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <map>
#include <system_error>
#include <type_traits>
#include <utility>

#include "btrieve/reason.h"
#include "libfile/library_file.h"
#include "startup/native_path.h"
#include "startup/paths.h"

namespace cli {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool EqualsUpper(std::string_view text, std::string_view upper) {
  if (text.size() != upper.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upper[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<std::uint8_t> LibraryNumberFromFileName(std::string_view fileName) {
  if (fileName.size() != 9) return std::nullopt;
  if (!EqualsUpper(fileName.substr(0, 3), "KL7") || !EqualsUpper(fileName.substr(5), ".DAT")) {
    return std::nullopt;
  }
  const int high = HexDigit(fileName[3]);
  const int low = HexDigit(fileName[4]);
  if (high < 0 || low < 0) return std::nullopt;
  return static_cast<std::uint8_t>(high * 16 + low);
}

std::string AsUtilsDirectory(std::string_view directory) {
  return startup::FileSystemDirectory(directory, startup::kSystemPathStyle);
}

std::string DirectoryOfFile(std::string_view path) {
  return startup::FileSystemDirectoryPart(path, startup::kSystemPathStyle);
}

std::string FileNameOf(std::string_view path) {
  return startup::FileSystemNamePart(path, startup::kSystemPathStyle);
}

std::optional<std::vector<LibraryFile>> FindLibraryFiles(const std::string& directory,
                                                         std::string& error) {
  namespace fs = std::filesystem;
  std::error_code code;
  const fs::path root = directory.empty() ? fs::path(".") : startup::NativePath(directory);
  if (!fs::is_directory(root, code)) {
    error = fs::exists(root, code) ? "not a directory" : "no such directory";
    return std::nullopt;
  }
  const std::optional<std::vector<startup::DirectoryEntry>> entries = startup::ListDirectory(
      directory,
      [](const std::string& name) { return LibraryNumberFromFileName(name).has_value(); }, code);
  if (!entries) {
    error = "cannot list the directory: " + code.message();
    return std::nullopt;
  }
  std::map<std::uint8_t, LibraryFile> chosen;
  for (const startup::DirectoryEntry& entry : *entries) {
    if (entry.isDirectory) continue;
    const std::string& name = entry.name;
    const std::uint8_t number = *LibraryNumberFromFileName(name);
    const std::string exact = core::LibraryFileName("", number);
    auto [place, inserted] = chosen.try_emplace(number, LibraryFile{number, name, {}});
    if (inserted) continue;
    LibraryFile& file = place->second;
    if (file.fileName != exact && (name == exact || name < file.fileName)) {
      file.otherNames.push_back(std::exchange(file.fileName, name));
    } else {
      file.otherNames.push_back(name);
    }
  }
  std::vector<LibraryFile> files;
  files.reserve(chosen.size());
  for (auto& [number, file] : chosen) {
    std::sort(file.otherNames.begin(), file.otherNames.end());
    files.push_back(std::move(file));
  }
  return files;
}

LibraryFacts ProbeLibraryFile(libfile::RecordManager& manager, const std::string& path) {
  libfile::LibraryFileContext context(manager);
  std::vector<std::byte> buffer(core::kRecordBufferSize);
  LibraryFacts facts;
  std::int32_t count = 0;
  libfile::OpenLibraryFile(context, path, buffer, count, [&](auto& file, bool is16Bit) {
    facts.is16Bit = is16Bit;
    facts.status = file.Status();
    if (facts.status != 0) facts.reason = btrieve::LastRefusal(path, facts.status);
    facts.count = facts.status == 0 ? count : 0;
    if constexpr (std::is_same_v<std::remove_cvref_t<decltype(file)>, libfile::TBasisDatei32>) {
      facts.recordLength = file.RecordLength();
      facts.dataLength = file.DataLength();
    } else {
      facts.entryDataLength = file.EntryDataLength();
      facts.headerRecords = file.HeaderRecords();
      facts.partsPerEntry = file.PartsPerEntry();
    }
  });
  return facts;
}

LoadOutcome LoadLibrary(core::LibraryCache& cache, libfile::RecordManager& manager,
                        std::uint8_t number, bool resolve) {
  LoadOutcome outcome;
  outcome.loaded = cache.LoadLibraryList(number, true, resolve, outcome.is16Bit);
  if (!outcome.loaded) {
    const LibraryFacts facts =
        ProbeLibraryFile(manager, core::LibraryFileName(cache.UtilsDirectory(), number));
    outcome.status = facts.status;
    outcome.reason = facts.reason;
    // The file changed between the two reads; the load's failure stands.
    if (outcome.status == 0) outcome.status = 2;
  }
  return outcome;
}

std::vector<std::string> CatalogueNames(core::LibraryCache& cache,
                                        libfile::RecordManager& manager) {
  if (!LoadLibrary(cache, manager, 0, true).loaded) return {};
  // Only lines 0 to 255 name libraries: a catalogue of many long lines costs no more.
  const core::tcodelist& list = *cache.LibraryLists(0);
  std::vector<std::string> names;
  names.reserve(std::min<std::size_t>(list.Count(), 256));
  for (std::size_t k = 0; k < list.Count() && k < 256; ++k)
    names.push_back(list[k].String());
  names[0] = std::string(core::kCatalogueHeading);
  return names;
}

std::string NameOf(const std::vector<std::string>& names, std::uint8_t number) {
  return number < names.size() ? names[number] : std::string();
}

}  // namespace cli
