// kl7 check PATH...: validates library files and whole utils directories. A problem is a file that
// does not load, an entry that the loader marked, or an entry count beyond 65,535.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "cli/library_access.h"
#include "cli/library_target.h"
#include "cli/row_writer.h"
#include "cli/status_text.h"
#include "cli/verbs.h"
#include "libfile/record_manager.h"
#include "libraries/library_cache.h"
#include "libraries/reference.h"

namespace cli {

namespace {

constexpr std::array<Column, 5> kColumns{{
    {"file", ColumnKind::kName},
    {"library", ColumnKind::kNumber},
    {"entry", ColumnKind::kNumber},
    {"problem", ColumnKind::kName},
    {"text", ColumnKind::kText},
}};

class Checker {
 public:
  Checker(VerbContext& context, RowWriter& writer) : m_context(context), m_writer(writer) {}

  void CheckPath(const std::string& path) {
    switch (KindOfPath(path)) {
      case PathKind::kDirectory:
        CheckDirectory(path);
        break;
      case PathKind::kLibraryFile: {
        const std::uint8_t number = *LibraryNumberFromFileName(FileNameOf(path));
        const std::string utils = DirectoryOfFile(path);
        libfile::NativeRecordManager manager;
        core::LibraryCache cache(manager, utils);
        CheckLibrary(cache, manager, number, path);
        break;
      }
      case PathKind::kOtherFile:
        Problem(path, "", "", "not a library file: its name is not KL7xx.DAT", "");
        break;
      case PathKind::kMissing:
        m_context.Report(path, "no such file or directory");
        break;
    }
  }

 private:
  void CheckDirectory(const std::string& directory) {
    std::string error;
    const std::optional<std::vector<LibraryFile>> files = FindLibraryFiles(directory, error);
    if (!files) {
      m_context.Report(directory, error);
      return;
    }
    if (files->empty()) {
      Problem(directory, "", "", "no library files (KL7xx.DAT) in this directory", "");
      return;
    }
    const std::string utils = AsUtilsDirectory(directory);
    libfile::NativeRecordManager manager;
    core::LibraryCache cache(manager, utils);
    // One load for the whole directory, as export's walk has: each target file is read once,
    // not once per library that refers into it.
    cache.BeginLoadGroup();
    std::vector<bool> present(256, false);
    for (const LibraryFile& file : *files) {
      present[file.number] = true;
      if (!file.otherNames.empty()) {
        std::string names = file.fileName;
        for (const std::string& other : file.otherNames)
          names += ", " + other;
        Problem(
            utils + file.fileName, std::to_string(file.number), "",
            "files that differ only in letter case: " + names + "; " + file.fileName + " is read",
            "");
      }
      CheckLibrary(cache, manager, file.number, utils + file.fileName);
    }
    // Catalogue entry k names library k: a name without its file is a library the viewer lists
    // but cannot open.
    const std::vector<std::string> names = CatalogueNames(cache, manager);
    const std::string emptyMark =
        std::string(core::kEmptyOpenMark) + std::string(core::kEmptyCloseMark);
    for (std::size_t k = 1; k < names.size() && k < present.size(); ++k) {
      if (present[k] || names[k].empty() || names[k] == emptyMark) continue;
      Problem(core::LibraryFileName(utils, static_cast<std::uint8_t>(k)), std::to_string(k),
              std::to_string(k), "the catalogue names this library, but its file is missing",
              names[k]);
    }
    cache.EndLoadGroup();
  }

  void CheckLibrary(core::LibraryCache& cache, libfile::RecordManager& manager, std::uint8_t number,
                    const std::string& path) {
    const std::string library = std::to_string(number);
    const LibraryFacts facts =
        ProbeLibraryFile(manager, core::LibraryFileName(cache.UtilsDirectory(), number));
    if (facts.status != 0) {
      m_context.ReportStatus(path, facts.status, facts.reason);
      Problem(path, library, "",
              "does not load: " + StatusMessage(facts.status, facts.reason) + " (status " +
                  std::to_string(facts.status) + ")",
              "");
      return;
    }
    if (facts.count > 0xFFFF) {
      const std::string shown = std::to_string(static_cast<std::uint16_t>(facts.count));
      Problem(path, library, "",
              (facts.is16Bit ? "entry count " : "highest key ") + std::to_string(facts.count) +
                  " exceeds 65,535: the viewer's entry count wraps to " + shown,
              "");
    }

    // What the file holds, and what the viewer shows: an entry is marked when the loader had to.
    LoadOutcome outcome = LoadLibrary(cache, manager, number, false);
    if (!outcome.loaded) {
      m_context.ReportStatus(path, outcome.status, outcome.reason);
      return;
    }
    std::vector<std::string> stored = cache.LibraryLists(number)->Items();
    outcome = LoadLibrary(cache, manager, number, true);
    if (!outcome.loaded) {
      m_context.ReportStatus(path, outcome.status, outcome.reason);
      return;
    }
    const core::tcodelist& shown = *cache.LibraryLists(number);
    const std::string emptyMark =
        std::string(core::kEmptyOpenMark) + std::string(core::kEmptyCloseMark);
    for (std::size_t k = 1; k < shown.Count() && k < stored.size(); ++k) {
      const std::string text(shown[k]);
      // Without resolution the loader marks only empty texts.
      const bool empty = stored[k] == emptyMark;
      const std::string raw = empty ? std::string() : stored[k];
      std::string problem;
      if (empty) {
        problem = "empty or missing entry";
      } else if (text ==
                 std::string(core::kEmptyOpenMark) + raw + std::string(core::kEmptyCloseMark)) {
        problem = "reference beyond the last entry of its library";
      } else if (text == raw + std::string(core::kUnreadableMark) && core::ParseReference(raw)) {
        problem = "reference into a library that cannot be read";
      }
      if (!problem.empty()) Problem(path, library, std::to_string(k), problem, text);
    }
    cache.ReleaseLibraryList(number);
  }

  void Problem(const std::string& file, const std::string& library, const std::string& entry,
               const std::string& problem, const std::string& text) {
    m_row = {file, library, entry, problem, text};
    m_writer.Row(m_row);
    m_context.MarkTrouble();
  }

  VerbContext& m_context;
  RowWriter& m_writer;
  std::array<std::string, 5> m_row;
};

}  // namespace

void RunCheck(VerbContext& context) {
  RowWriter writer(context.Out(), context.CommandLine(), kColumns);
  Checker checker(context, writer);
  for (const std::string& path : context.CommandLine().operands)
    checker.CheckPath(path);
  writer.Finish();
}

}  // namespace cli
