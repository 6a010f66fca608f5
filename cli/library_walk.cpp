// The walk over a utils directory shared by export and find.
#include "cli/library_walk.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "cli/library_access.h"
#include "cli/library_target.h"
#include "libfile/record_manager.h"
#include "libraries/library_cache.h"

namespace cli {

std::unique_ptr<UtilsDirectoryScan> ScanUtilsDirectory(VerbContext& context,
                                                       const std::string& directory) {
  std::string error;
  std::optional<std::vector<LibraryFile>> files = FindLibraryFiles(directory, error);
  if (!files) {
    context.Report(directory, error);
    return nullptr;
  }
  if (files->empty()) {
    context.Report(directory, kNoLibraryFiles);
    return nullptr;
  }
  auto scan = std::make_unique<UtilsDirectoryScan>();
  scan->files = std::move(*files);
  scan->utils = AsUtilsDirectory(directory);
  scan->cache = std::make_unique<core::LibraryCache>(scan->manager, scan->utils);
  scan->names = CatalogueNames(*scan->cache, scan->manager);
  return scan;
}

void VisitLibraries(VerbContext& context, const std::string& verb, const std::string& target,
                    bool resolve, const LibraryVisitor& visit, bool wholeDirectory,
                    std::span<const std::string> libraries) {
  const std::optional<LibraryTarget> read = ReadLibraryTarget(context, verb, target);
  if (!read) return;
  if (read->file && !libraries.empty()) {
    throw UsageError{verb + ": a library number goes with a directory, not with a file"};
  }
  std::unique_ptr<UtilsDirectoryScan> scan;
  const bool oneFile = read->file && !wholeDirectory;
  if (oneFile) {
    // One library: its file need not be listed, but its directory's catalogue names it.
    scan = std::make_unique<UtilsDirectoryScan>();
    scan->files = {LibraryFile{*read->file, read->fileName, {}}};
    scan->utils = AsUtilsDirectory(read->directory);
    scan->cache = std::make_unique<core::LibraryCache>(scan->manager, scan->utils);
    scan->names = CatalogueNames(*scan->cache, scan->manager);
  } else {
    scan = ScanUtilsDirectory(context, read->directory);
    if (scan == nullptr) return;
  }
  if (!libraries.empty()) {
    // The libraries asked for, in their order; one without a file fails to load like any other.
    std::vector<LibraryFile> chosen;
    for (const std::uint8_t number :
         SelectLibraries(verb, libraries, [&] { return scan->names; }).numbers) {
      const auto found =
          std::find_if(scan->files.begin(), scan->files.end(),
                       [&](const LibraryFile& file) { return file.number == number; });
      chosen.push_back(found != scan->files.end()
                           ? *found
                           : LibraryFile{number, core::LibraryFileName("", number), {}});
    }
    scan->files = std::move(chosen);
  }
  core::LibraryCache& cache = *scan->cache;
  cache.BeginLoadGroup();
  for (const LibraryFile& file : scan->files) {
    const LoadOutcome outcome = LoadLibrary(cache, scan->manager, file.number, resolve);
    if (!outcome.loaded) {
      context.ReportStatus(oneFile ? file.fileName : scan->utils + file.fileName, outcome.status,
                           outcome.reason);
      continue;
    }
    // Held here: the visitor's own loads may replace what the cache holds for this number.
    const std::shared_ptr<const core::tcodelist> list = cache.SharedList(file.number);
    visit(file.number, NameOf(scan->names, file.number), *list, cache);
    // Done with it: the next library's references reload what they need.
    cache.ReleaseLibraryList(file.number);
  }
  cache.EndLoadGroup();
}

void CheckLibraryOperands(const std::string& verb, const std::string& target,
                          std::span<const std::string> libraries) {
  if (libraries.empty()) return;
  switch (KindOfPath(target)) {
    case PathKind::kLibraryFile:
      throw UsageError{verb + ": a library number goes with a directory, not with a file"};
    case PathKind::kDirectory:
      (void)SelectLibraries(verb, libraries, [&] { return CatalogueNamesOf(target); });
      return;
    case PathKind::kOtherFile:
    case PathKind::kMissing:
      return;  // VisitLibraries says what it is
  }
}

core::ReferenceOutcome FillDetail(core::LibraryCache& cache, const core::EntryText& raw,
                                  std::span<std::string> fields) {
  fields[0].clear();
  raw.AppendTo(fields[0]);
  const core::LibraryCache::Resolution resolution = cache.ClassifyReference(fields[0]);
  const bool isReference = resolution.outcome != core::ReferenceOutcome::kNotAReference;
  fields[1] = isReference ? std::to_string(resolution.reference.library) : std::string();
  fields[2] = isReference ? std::to_string(resolution.reference.entry) : std::string();
  fields[3] = core::ReferenceOutcomeName(resolution.outcome);
  return resolution.outcome;
}

std::shared_ptr<const core::tcodelist> RawList(core::LibraryCache& cache,
                                               libfile::RecordManager& manager,
                                               std::uint8_t number) {
  if (!LoadLibrary(cache, manager, number, false).loaded) return nullptr;
  return cache.SharedList(number);
}

}  // namespace cli
