// kl7 refs TARGET N [M] and kl7 refs --all TARGET: the entries of every library of a utils
// directory that refer to library N (entry M), or every reference there is, each with the outcome
// of its resolution.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/library_access.h"
#include "cli/library_target.h"
#include "cli/library_walk.h"
#include "cli/verbs.h"
#include "text/number.h"

namespace cli {

void RunRefs(VerbContext& context) {
  const Options& options = context.CommandLine();
  // The reference's own numbers are compared as read (so LIB[259,2] is no reference to library 3).
  std::optional<std::int32_t> library;
  std::optional<std::int32_t> entry;
  if (!options.all) {
    std::optional<std::uint8_t> parsed = ParseLibraryNumber(options.operands[1]);
    if (!parsed) {
      // A name: the catalogue of the target's utils directory says which library.
      const auto names = [&]() -> std::vector<std::string> {
        const std::string& target = options.operands[0];
        switch (KindOfPath(target)) {
          case PathKind::kDirectory:
            return CatalogueNamesOf(target);
          case PathKind::kLibraryFile:
            return CatalogueNamesOf(DirectoryOfFile(target));
          case PathKind::kOtherFile:
          case PathKind::kMissing:
            break;
        }
        return {};
      };
      parsed = SelectLibraries("refs", std::span<const std::string>(&options.operands[1], 1), names,
                               false)
                   .numbers.front();
    }
    library = *parsed;
    if (options.operands.size() == 3) {
      const text::NumberConversion converted = text::ConvertNumber(options.operands[2]);
      if (!converted.ok) {
        throw UsageError{"refs: entry number '" + options.operands[2] + "' is not a number"};
      }
      entry = converted.value;
    }
  }

  static constexpr std::array<Column, 7> kColumns{{
      {"library", ColumnKind::kNumber},
      {"name", ColumnKind::kText},
      {"entry", ColumnKind::kNumber},
      {"text", ColumnKind::kText},
      {"target_library", ColumnKind::kNumber},
      {"target_entry", ColumnKind::kNumber},
      {"outcome", ColumnKind::kName},
  }};
  RowWriter writer(context.Out(), options, kColumns);
  std::array<std::string, 7> row;
  const std::span<std::string> detail(row.begin() + 3, kDetailFields);
  VisitLibraries(
      context, "refs", options.operands[0], false,
      [&](std::uint8_t number, const std::string& name, const core::tcodelist& list,
          core::LibraryCache& cache) {
        for (std::size_t k = 1; k < list.Count(); ++k) {
          const core::EntryText text = list[k];
          if (!text.head.starts_with("LIB")) continue;  // no reference: nothing to read
          if (FillDetail(cache, text, detail) == core::ReferenceOutcome::kNotAReference) continue;
          if (library && detail[1] != std::to_string(*library)) continue;
          if (entry && detail[2] != std::to_string(*entry)) continue;
          row[0] = std::to_string(number);
          row[1] = name;
          row[2] = std::to_string(k);
          writer.Row(row);
        }
      },
      true);
  writer.Finish();
}

}  // namespace cli
