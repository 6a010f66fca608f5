// Every library of a utils directory, loaded in number order as the viewer loads it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
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
// `verb`. With `wholeDirectory`, a library file stands for every library of its directory. With
// `libraries` (operands of SelectLibraries, for a directory only), only those libraries are
// visited, in their order; one that has no file is reported as one that does not load. The
// list is valid only during the call; `cache` is the walk's, and the visitor may load and classify
// through it (the whole walk is one load group: each library file is read at most once unresolved).
using LibraryVisitor = std::function<void(std::uint8_t number, const std::string& name,
                                          const core::tcodelist& list, core::LibraryCache& cache)>;
void VisitLibraries(VerbContext& context, const std::string& verb, const std::string& target,
                    bool resolve, const LibraryVisitor& visit, bool wholeDirectory = false,
                    std::span<const std::string> libraries = {});

// Checks the operands `libraries` of `verb` for `target` as VisitLibraries reads them, before
// anything is printed: a usage error (thrown) for a file target, or for a library operand that
// names none or several.
void CheckLibraryOperands(const std::string& verb, const std::string& target,
                          std::span<const std::string> libraries);

// What --detail adds to a row about an entry: the raw text (as written in the file, empty texts
// in their stored form), the reference's target library and entry (empty when the text is no
// reference) and the outcome of its resolution. Classifies through `cache`, as its loader does.
inline constexpr std::size_t kDetailFields = 4;
inline constexpr std::array<Column, kDetailFields> kDetailColumns{{
    {"raw", ColumnKind::kText},
    {"target_library", ColumnKind::kNumber},
    {"target_entry", ColumnKind::kNumber},
    {"outcome", ColumnKind::kName},
}};
// Fills `fields` (kDetailFields of them) for the raw text `raw`; returns the classification.
core::ReferenceOutcome FillDetail(core::LibraryCache& cache, const core::EntryText& raw,
                                  std::span<std::string> fields);

// The raw (unresolved) list of library `number` as the loader reads it, held while it is used;
// null when it does not load.
[[nodiscard]] std::shared_ptr<const core::tcodelist> RawList(core::LibraryCache& cache,
                                                             libfile::RecordManager& manager,
                                                             std::uint8_t number);

// The columns of a row that names an entry of some library (export, find).
inline constexpr std::array<Column, 4> kLibraryEntryColumns{{
    {"library", ColumnKind::kNumber},
    {"name", ColumnKind::kText},
    {"entry", ColumnKind::kNumber},
    {"text", ColumnKind::kText},
}};

}  // namespace cli
