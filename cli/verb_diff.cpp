// kl7 diff DIR1 DIR2: what differs between the libraries of two utils directories: libraries
// added and removed, entry counts, and each entry whose text differs.
#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "cli/kl7.h"
#include "cli/library_access.h"
#include "cli/library_walk.h"
#include "cli/status_text.h"
#include "cli/verbs.h"

namespace cli {

namespace {

// One side of the comparison: its scan, and the library files by number.
struct Side {
  std::unique_ptr<UtilsDirectoryScan> scan;
  std::map<std::uint8_t, const LibraryFile*> files;
};

// The list of `number` on `side`, or null after reporting why it does not load; `status` gets the
// text for the difference row.
std::shared_ptr<const core::tcodelist> Load(VerbContext& context, Side& side, std::uint8_t number,
                                            bool resolve, std::string& status) {
  const LoadOutcome outcome = LoadLibrary(*side.scan->cache, side.scan->manager, number, resolve);
  if (!outcome.loaded) {
    context.ReportStatus(side.scan->utils + side.files[number]->fileName, outcome.status,
                         outcome.reason);
    status = StatusMessage(outcome.status, outcome.reason) + " (status " +
             std::to_string(outcome.status) + ")";
    return nullptr;
  }
  status.clear();
  return side.scan->cache->SharedList(number);
}

}  // namespace

void RunDiff(VerbContext& context) {
  const Options& options = context.CommandLine();
  std::array<Side, 2> sides;
  for (std::size_t i = 0; i < 2; ++i) {
    sides[i].scan = ScanUtilsDirectory(context, options.operands[i]);
    if (sides[i].scan == nullptr) {
      context.SetExitStatus(kExitUsage);
      return;
    }
    for (const LibraryFile& file : sides[i].scan->files)
      sides[i].files[file.number] = &file;
    sides[i].scan->cache->BeginLoadGroup();
  }
  Side& before = sides[0];
  Side& after = sides[1];

  static constexpr std::array<Column, 6> kColumns{{
      {"change", ColumnKind::kName},
      {"library", ColumnKind::kNumber},
      {"name", ColumnKind::kText},
      {"entry", ColumnKind::kNumber},
      {"old", ColumnKind::kText},
      {"new", ColumnKind::kText},
  }};
  RowWriter writer(context.Out(), options, kColumns);
  std::array<std::string, 6> row;
  bool differ = false;
  const auto emit = [&](std::string_view change, std::uint8_t number, std::string entry,
                        std::string old, std::string current) {
    row[0] = change;
    row[1] = std::to_string(number);
    // A removed library is named as the old catalogue named it, any other as the new one does.
    row[2] = NameOf((change == "library-removed" ? before : after).scan->names, number);
    row[3] = std::move(entry);
    row[4] = std::move(old);
    row[5] = std::move(current);
    writer.Row(row);
    differ = true;
  };

  for (int n = 0; n < 256; ++n) {
    const auto number = static_cast<std::uint8_t>(n);
    const bool inBefore = before.files.contains(number);
    const bool inAfter = after.files.contains(number);
    if (!inBefore && !inAfter) continue;
    if (!inAfter) {
      emit("library-removed", number, {}, {}, {});
      continue;
    }
    if (!inBefore) {
      emit("library-added", number, {}, {}, {});
      continue;
    }
    std::string oldStatus;
    std::string newStatus;
    const std::shared_ptr<const core::tcodelist> old =
        Load(context, before, number, options.resolved, oldStatus);
    const std::shared_ptr<const core::tcodelist> current =
        Load(context, after, number, options.resolved, newStatus);
    before.scan->cache->ReleaseLibraryList(number);
    after.scan->cache->ReleaseLibraryList(number);
    if (old == nullptr || current == nullptr) {
      emit("unreadable", number, {}, oldStatus, newStatus);
      continue;
    }
    const std::size_t oldCount = old->Count() - 1;
    const std::size_t newCount = current->Count() - 1;
    if (oldCount != newCount) {
      emit("entry-count", number, {}, std::to_string(oldCount), std::to_string(newCount));
    }
    for (std::size_t k = 1; k <= std::max(oldCount, newCount); ++k) {
      if (k > newCount) {
        emit("entry-removed", number, std::to_string(k), (*old)[k].String(), {});
      } else if (k > oldCount) {
        emit("entry-added", number, std::to_string(k), {}, (*current)[k].String());
      } else if (!((*old)[k] == (*current)[k])) {
        emit("entry", number, std::to_string(k), (*old)[k].String(), (*current)[k].String());
      }
    }
  }
  writer.Finish();
  // Differences end the run with status 1; a file that could not be read is one of them.
  if (differ) context.MarkTrouble();
}

}  // namespace cli
