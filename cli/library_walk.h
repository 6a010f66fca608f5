// Every library of a utils directory, loaded in number order as the viewer loads it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "cli/row_writer.h"
#include "cli/verbs.h"
#include "viewer/core/tcodelist.h"

namespace cli {

// Hands each library file of `directory` that loads to `visit` with its number, its name in the
// catalogue and its list (position 0 is the placeholder). A file that does not load, or a
// directory that cannot be listed, is reported through `context`. The list is valid only during
// the call.
using LibraryVisitor =
    std::function<void(std::uint8_t number, const std::string& name, const core::tcodelist& list)>;
void VisitLibraries(VerbContext& context, const std::string& directory, bool resolve,
                    const LibraryVisitor& visit);

// The columns of a row that names an entry of some library (export, find).
inline constexpr std::array<Column, 4> kLibraryEntryColumns{{
    {"library", ColumnKind::kNumber},
    {"name", ColumnKind::kText},
    {"entry", ColumnKind::kNumber},
    {"text", ColumnKind::kText},
}};

}  // namespace cli
