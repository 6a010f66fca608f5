// kl7 export TARGET [N]...: the entries of every library (or of those named) in one document, each
// row with the library's number and name; with --detail also as written and with the outcome of
// their resolution.
#include <array>
#include <memory>
#include <span>
#include <string>

#include "cli/html_export.h"
#include "cli/library_walk.h"
#include "cli/verbs.h"
#include "libfile/record_manager.h"

namespace cli {

void RunExport(VerbContext& context) {
  const Options& options = context.CommandLine();
  if (options.format == Format::kHtml) {
    RunHtmlExport(context);
    return;
  }
  WriteLibraryRows(context, "export", std::span<const std::string>(options.operands).subspan(1));
}

void WriteLibraryRows(VerbContext& context, const std::string& verb,
                      std::span<const std::string> libraries) {
  const Options& options = context.CommandLine();
  CheckLibraryOperands(verb, options.operands[0], libraries);  // before the header is written
  static constexpr std::array<Column, 8> kColumns{{
      kLibraryEntryColumns[0],
      kLibraryEntryColumns[1],
      kLibraryEntryColumns[2],
      kLibraryEntryColumns[3],
      kDetailColumns[0],
      kDetailColumns[1],
      kDetailColumns[2],
      kDetailColumns[3],
  }};
  const std::size_t width = options.detail ? 8 : 4;
  RowWriter writer(context.Out(), options, std::span<const Column>(kColumns).first(width));
  std::array<std::string, 8> row;
  const std::span<std::string> fields(row.data(), width);
  libfile::NativeRecordManager manager;
  VisitLibraries(
      context, verb, options.operands[0], options.resolve,
      [&](std::uint8_t number, const std::string& name, const core::tcodelist& list,
          core::LibraryCache& cache) {
        std::shared_ptr<const core::tcodelist> raw;
        if (options.detail) raw = RawList(cache, manager, number);
        row[0] = std::to_string(number);
        row[1] = name;
        for (std::size_t k = 1; k < list.Count(); ++k) {
          row[2] = std::to_string(k);
          row[3].clear();
          list[k].AppendTo(row[3]);
          if (options.detail) {
            FillDetail(cache, raw != nullptr && k < raw->Count() ? (*raw)[k] : core::EntryText{},
                       fields.subspan(4));
          }
          writer.Row(fields);
        }
      },
      false, libraries);
  writer.Finish();
}

}  // namespace cli
