// What the verbs share: finding the library files of a utils directory, loading a library through
// the viewer's cache (and learning the status when that fails), and the library facts of a file as
// the loader sees them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "btrieve/reason.h"
#include "libfile/record_manager.h"
#include "libraries/library_cache.h"

namespace cli {

// The library number of a file name "KL7" + two hexadecimal digits + ".DAT", in any letter case;
// nothing for any other name.
[[nodiscard]] std::optional<std::uint8_t> LibraryNumberFromFileName(std::string_view fileName);

// `directory` as the cache wants it: with a trailing separator (empty stays empty). Paths follow
// the system's rules: on Windows "\\", "/" and a drive's ":" separate, and a separator added is the
// one the path already uses, so that paths are printed in the form the user gave.
[[nodiscard]] std::string AsUtilsDirectory(std::string_view directory);

// The utils directory of a file path: everything up to and including the last separator, empty
// when there is none; and the file's name, the rest.
[[nodiscard]] std::string DirectoryOfFile(std::string_view path);
[[nodiscard]] std::string FileNameOf(std::string_view path);

struct LibraryFile {
  std::uint8_t number = 0;
  std::string fileName;                 // as it stands in the directory: the one that is read
  std::vector<std::string> otherNames;  // other spellings of the same name (letter case only)
};

// The library files in `directory`, one per number, in number order. Of several spellings of one
// name the exact upper-case one wins, else the first in byte order (the one an Open would take).
// Nothing when the directory cannot be listed; `error` then says why.
[[nodiscard]] std::optional<std::vector<LibraryFile>> FindLibraryFiles(const std::string& directory,
                                                                       std::string& error);

// A library file as the loader sees it: the class that reads it, the status that class ended its
// opening with, and its layout figures.
struct LibraryFacts {
  std::uint16_t status = 0;               // 0: the loader reads the file
  std::optional<btrieve::Reason> reason;  // the record manager's reason for `status`, if it has one
  bool is16Bit = false;
  std::int32_t count = 0;  // entries before the loader takes the low 16 bits
  // Current layout.
  std::uint16_t recordLength = 0;
  std::uint16_t dataLength = 0;
  // "16Bit" layout.
  std::size_t entryDataLength = 0;  // L
  std::uint8_t headerRecords = 0;   // H
  std::uint16_t partsPerEntry = 0;  // records per entry
};

// Opens `path` as the loader does (the current layout's class first, the older one when the data
// length is below 39) and reports what it found. Reads nothing but the file's header figures.
[[nodiscard]] LibraryFacts ProbeLibraryFile(libfile::RecordManager& manager,
                                            const std::string& path);

// Loads library `number` into `cache` exactly as the viewer does (reload, and resolution unless
// `resolve` is false). On failure `status` says why (the file probed as the loader opened it).
struct LoadOutcome {
  bool loaded = false;
  std::uint16_t status = 0;
  std::optional<btrieve::Reason> reason;
  bool is16Bit = false;
};
[[nodiscard]] LoadOutcome LoadLibrary(core::LibraryCache& cache, libfile::RecordManager& manager,
                                      std::uint8_t number, bool resolve);

// The names the viewer shows for libraries: the resolved catalogue of `cache`'s directory, with
// "Bibliotheksnamen" for library 0. Empty when the catalogue cannot be read.
[[nodiscard]] std::vector<std::string> CatalogueNames(core::LibraryCache& cache,
                                                      libfile::RecordManager& manager);

// The name of library `number` in `names`; empty when the catalogue has no such line.
[[nodiscard]] std::string NameOf(const std::vector<std::string>& names, std::uint8_t number);

}  // namespace cli
