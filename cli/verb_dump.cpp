// kl7 dump TARGET [N]: the entries of one library exactly as the viewer's list shows them.
#include <array>
#include <string>

#include "cli/library_access.h"
#include "cli/library_target.h"
#include "cli/row_writer.h"
#include "cli/verbs.h"
#include "libfile/record_manager.h"
#include "libraries/library_cache.h"

namespace cli {

void RunDump(VerbContext& context) {
  const Options& options = context.CommandLine();
  const std::string& target = options.operands[0];
  std::string utils;
  std::string fileForMessages;
  std::uint8_t number = 0;
  switch (KindOfPath(target)) {
    case PathKind::kDirectory:
      utils = AsUtilsDirectory(target);
      if (options.operands.size() == 2) {
        const std::optional<std::uint8_t> parsed = ParseLibraryNumber(options.operands[1]);
        if (!parsed) {
          throw UsageError{"dump: library number '" + options.operands[1] +
                           "' is not a decimal number from 0 to 255"};
        }
        number = *parsed;
      }
      break;
    case PathKind::kLibraryFile: {
      if (options.operands.size() == 2) {
        throw UsageError{"dump: a library number goes with a directory, not with a file"};
      }
      utils = DirectoryOfFile(target);
      fileForMessages = target;
      const std::size_t slash = target.rfind('/');
      number = *LibraryNumberFromFileName(slash == std::string::npos ? target
                                                                     : target.substr(slash + 1));
      break;
    }
    case PathKind::kOtherFile:
      throw UsageError{"dump: '" + target + "' is neither a directory nor a KL7xx.DAT file"};
    case PathKind::kMissing:
      context.Report(target, "no such file or directory");
      return;
  }

  libfile::NativeRecordManager manager;
  core::LibraryCache cache(manager, utils);
  const LoadOutcome outcome = LoadLibrary(cache, manager, number, options.resolve);
  if (!outcome.loaded) {
    context.ReportStatus(
        fileForMessages.empty() ? core::LibraryFileName(utils, number) : fileForMessages,
        outcome.status);
    return;
  }

  static constexpr std::array<Column, 2> kColumns{{
      {"entry", ColumnKind::kNumber},
      {"text", ColumnKind::kText},
  }};
  RowWriter writer(context.Out(), options, kColumns);
  const core::tcodelist& list = *cache.LibraryLists(number);
  std::array<std::string, 2> row;
  for (std::size_t k = 1; k < list.Count(); ++k) {
    row[0] = std::to_string(k);
    row[1].clear();
    list[k].AppendTo(row[1]);
    writer.Row(row);
  }
  writer.Finish();
}

}  // namespace cli
