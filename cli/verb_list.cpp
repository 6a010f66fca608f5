// kl7 list DIR: one row per library file present in a utils directory.
#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/library_access.h"
#include "cli/library_walk.h"
#include "cli/row_writer.h"
#include "cli/status_text.h"
#include "cli/verbs.h"
#include "libfile/record_manager.h"
#include "libraries/library_cache.h"

namespace cli {

namespace {

constexpr std::array<Column, 8> kColumns{{
    {"library", ColumnKind::kNumber},
    {"hex", ColumnKind::kName},
    {"file", ColumnKind::kName},
    {"layout", ColumnKind::kName},
    {"entries", ColumnKind::kNumber},
    {"name", ColumnKind::kText},
    {"status", ColumnKind::kNumber},
    {"message", ColumnKind::kName},
}};

std::string TwoHexDigits(std::uint8_t number) {
  std::array<char, 3> digits{};
  std::snprintf(digits.data(), digits.size(), "%02X", static_cast<unsigned>(number));
  return std::string(digits.data(), 2);
}

}  // namespace

void RunList(VerbContext& context) {
  const std::string& directory = context.CommandLine().operands[0];
  const std::unique_ptr<UtilsDirectoryScan> scan = ScanUtilsDirectory(context, directory);
  if (scan == nullptr) return;
  const std::string& utils = scan->utils;

  RowWriter writer(context.Out(), context.CommandLine(), kColumns);
  std::array<std::string, 8> row;
  for (const LibraryFile& file : scan->files) {
    const std::string path = utils + file.fileName;
    // The loader opens the file by its upper-case name; the probe takes the same road.
    const LibraryFacts facts =
        ProbeLibraryFile(scan->manager, core::LibraryFileName(utils, file.number));
    row[0] = std::to_string(file.number);
    row[1] = TwoHexDigits(file.number);
    row[2] = file.fileName;
    row[5] = NameOf(scan->names, file.number);
    row[6] = std::to_string(facts.status);
    if (facts.status == 0) {
      row[3] = facts.is16Bit ? "16Bit" : "current";
      // The loader takes the low 16 bits of the count.
      row[4] = std::to_string(static_cast<std::uint16_t>(facts.count));
      row[7] = "";
    } else {
      row[3] = "";
      row[4] = "";
      row[7] = StatusMessage(facts.status, facts.reason);
      context.ReportStatus(path, facts.status, facts.reason);
    }
    writer.Row(row);
  }
  writer.Finish();
}

}  // namespace cli
