// kl7 export DIR: the entries of every library in one document, each row with the library's number
// and name.
#include <array>
#include <string>

#include "cli/library_walk.h"
#include "cli/verbs.h"

namespace cli {

void RunExport(VerbContext& context) {
  RowWriter writer(context.Out(), context.CommandLine(), kLibraryEntryColumns);
  std::array<std::string, 4> row;
  VisitLibraries(context, "export", context.CommandLine().operands[0],
                 context.CommandLine().resolve,
                 [&](std::uint8_t number, const std::string& name, const core::tcodelist& list) {
                   row[0] = std::to_string(number);
                   row[1] = name;
                   for (std::size_t k = 1; k < list.Count(); ++k) {
                     row[2] = std::to_string(k);
                     row[3].clear();
                     list[k].AppendTo(row[3]);
                     writer.Row(row);
                   }
                 });
  writer.Finish();
}

}  // namespace cli
