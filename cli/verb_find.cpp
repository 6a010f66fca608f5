// kl7 find TEXT DIR: the entries of any library whose shown text contains TEXT, compared by
// Unicode case folding.
#include <array>
#include <string>

#include "cli/library_walk.h"
#include "cli/verbs.h"
#include "libraries/text_folding.h"

namespace cli {

void RunFind(VerbContext& context) {
  const core::FoldedNeedle needle(context.CommandLine().operands[0]);
  RowWriter writer(context.Out(), context.CommandLine(), kLibraryEntryColumns);
  std::array<std::string, 4> row;
  VisitLibraries(context, "find", context.CommandLine().operands[1], true,
                 [&](std::uint8_t number, const std::string& name, const core::tcodelist& list,
                     core::LibraryCache&) {
                   for (std::size_t k = 1; k < list.Count(); ++k) {
                     // The text as shown: a reference with its target's text joined on.
                     row[3].clear();
                     list[k].AppendTo(row[3]);
                     if (!needle.FoundIn(row[3])) continue;
                     row[0] = std::to_string(number);
                     row[1] = name;
                     row[2] = std::to_string(k);
                     writer.Row(row);
                   }
                 });
  writer.Finish();
}

}  // namespace cli
