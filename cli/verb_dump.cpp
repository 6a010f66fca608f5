// kl7 dump TARGET [N]...: the entries of one library exactly as the viewer's list shows them, with
// --detail also as written and with the outcome of their resolution; of several, export's rows.
#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/library_access.h"
#include "cli/library_target.h"
#include "cli/library_walk.h"
#include "cli/row_writer.h"
#include "cli/verbs.h"
#include "libfile/record_manager.h"
#include "libraries/library_cache.h"

namespace cli {

void RunDump(VerbContext& context) {
  const Options& options = context.CommandLine();
  const std::string& target = options.operands[0];
  const std::optional<LibraryTarget> read = ReadLibraryTarget(context, "dump", target);
  if (!read) return;
  const std::string utils = AsUtilsDirectory(read->directory);
  std::uint8_t number = read->file.value_or(0);
  if (read->file && options.operands.size() >= 2) {
    throw UsageError{"dump: a library number goes with a directory, not with a file"};
  }
  if (!read->file) {
    std::string error;
    const std::optional<std::vector<LibraryFile>> files = FindLibraryFiles(read->directory, error);
    if (!files || files->empty()) {
      context.Report(read->directory, files ? std::string(kNoLibraryFiles) : error);
      return;
    }
    if (options.operands.size() >= 2) {
      const std::span<const std::string> libraries =
          std::span<const std::string>(options.operands).subspan(1);
      const LibrarySelection selection =
          SelectLibraries("dump", libraries, [&] { return CatalogueNamesOf(read->directory); });
      if (selection.several) {
        WriteLibraryRows(context, "dump", libraries);
        return;
      }
      number = selection.numbers.front();
    }
  }
  const std::string& fileForMessages = read->fileName;

  libfile::NativeRecordManager manager;
  core::LibraryCache cache(manager, utils);
  cache.BeginLoadGroup();
  const LoadOutcome outcome = LoadLibrary(cache, manager, number, options.resolve);
  if (!outcome.loaded) {
    context.ReportStatus(
        fileForMessages.empty() ? core::LibraryFileName(utils, number) : fileForMessages,
        outcome.status, outcome.reason);
    return;
  }
  const std::shared_ptr<const core::tcodelist> list = cache.SharedList(number);
  std::shared_ptr<const core::tcodelist> raw;
  if (options.detail) raw = RawList(cache, manager, number);

  static constexpr std::array<Column, 6> kColumns{{
      {"entry", ColumnKind::kNumber},
      {"text", ColumnKind::kText},
      kDetailColumns[0],
      kDetailColumns[1],
      kDetailColumns[2],
      kDetailColumns[3],
  }};
  RowWriter writer(context.Out(), options,
                   std::span<const Column>(kColumns).first(options.detail ? 6 : 2));
  std::array<std::string, 6> row;
  const std::span<std::string> fields(row.data(), options.detail ? 6 : 2);
  for (std::size_t k = 1; k < list->Count(); ++k) {
    row[0] = std::to_string(k);
    row[1].clear();
    (*list)[k].AppendTo(row[1]);
    if (options.detail) {
      // The file changed between the two reads when the raw list lacks this entry.
      FillDetail(cache, raw != nullptr && k < raw->Count() ? (*raw)[k] : core::EntryText{},
                 fields.subspan(2));
    }
    writer.Row(fields);
  }
  writer.Finish();
  cache.EndLoadGroup();
}

}  // namespace cli
