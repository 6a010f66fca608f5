// Every library of a utils directory, loaded in number order as the viewer loads it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/library_access.h"
#include "cli/row_writer.h"
#include "cli/verbs.h"
#include "libfile/record_manager.h"
#include "libraries/library_cache.h"
#include "libraries/tcodelist.h"

namespace cli {

// A utils directory opened for a walk over its library files: the files found, the "UTILS" value, a
// cache over the directory and the catalogue's names.
struct UtilsDirectoryScan {
  std::vector<LibraryFile> files;
  std::string utils;
  libfile::NativeRecordManager manager;
  std::unique_ptr<core::LibraryCache> cache;
  std::vector<std::string> names;
};

// Opens `directory` for a walk; nothing (reported through `context`) when it cannot be listed or
// holds no library file.
[[nodiscard]] std::unique_ptr<UtilsDirectoryScan> ScanUtilsDirectory(VerbContext& context,
                                                                     const std::string& directory);

// Hands each library of `target` that loads to `visit` with its number, its name in the
// catalogue and its list (position 0 is the placeholder): every library file of a utils
// directory, or the one library of a library file (named as its directory's catalogue names it).
// A file that does not load, a missing target or a directory that cannot be listed or holds no
// library file is reported through `context`; a target that is neither is a usage error of
// `verb`. The list is valid only during the call.
using LibraryVisitor =
    std::function<void(std::uint8_t number, const std::string& name, const core::tcodelist& list)>;
void VisitLibraries(VerbContext& context, const std::string& verb, const std::string& target,
                    bool resolve, const LibraryVisitor& visit);

// The columns of a row that names an entry of some library (export, find).
inline constexpr std::array<Column, 4> kLibraryEntryColumns{{
    {"library", ColumnKind::kNumber},
    {"name", ColumnKind::kText},
    {"entry", ColumnKind::kNumber},
    {"text", ColumnKind::kText},
}};

}  // namespace cli
