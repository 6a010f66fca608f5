// The walk over a utils directory shared by export and find.
#include "cli/library_walk.h"

#include <optional>
#include <vector>

#include "cli/library_access.h"
#include "libfile/record_manager.h"
#include "viewer/core/library_cache.h"

namespace cli {

void VisitLibraries(VerbContext& context, const std::string& directory, bool resolve,
                    const LibraryVisitor& visit) {
  std::string error;
  const std::optional<std::vector<LibraryFile>> files = FindLibraryFiles(directory, error);
  if (!files) {
    context.Report(directory, error);
    return;
  }
  const std::string utils = AsUtilsDirectory(directory);
  libfile::NativeRecordManager manager;
  core::LibraryCache cache(manager, utils);
  const std::vector<std::string> names = CatalogueNames(cache, manager);
  for (const LibraryFile& file : *files) {
    const LoadOutcome outcome = LoadLibrary(cache, manager, file.number, resolve);
    if (!outcome.loaded) {
      context.ReportStatus(utils + file.fileName, outcome.status);
      continue;
    }
    visit(file.number, NameOf(names, file.number), *cache.LibraryLists(file.number));
    // Done with it: the next library's references reload what they need.
    cache.ReleaseLibraryList(file.number);
  }
}

}  // namespace cli
