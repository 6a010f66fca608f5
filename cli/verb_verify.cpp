// kl7 verify FILE...: each key's own index pages of a record file against its records, one line per
// disagreement: an integrity check of a file that needs no engine and never writes.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "btrieve/btrieve.h"
#include "btrieve/index_walk.h"
#include "cli/library_target.h"
#include "cli/verbs.h"
#include "text/control_escape.h"

namespace cli {

namespace {

constexpr std::int8_t kReadOnlyOpenMode = -2;

std::string Figure(std::uint64_t value) {
  return value == btrieve::Reason::kUnset ? "-" : std::to_string(value);
}

// The findings of one file; false (reported) when it does not open.
bool VerifyFile(VerbContext& context, const std::string& path) {
  std::array<std::byte, btrieve::kPositionBlockSize> positionBlock{};
  std::string name = path;
  std::byte ownerName{0};
  std::uint32_t length = 1;
  const std::uint16_t opened = btrieve::BTRCALL(btrieve::kOpOpen, positionBlock.data(), &ownerName,
                                                &length, name.data(), 0, kReadOnlyOpenMode);
  if (opened != btrieve::status::kSuccess) {
    context.ReportStatus(path, opened, btrieve::LastRefusal(path, opened));
    return false;
  }
  const std::optional<std::vector<btrieve::IndexFinding>> findings =
      btrieve::WalkIndexesOfOpenFile(positionBlock.data());
  length = 0;
  (void)btrieve::BTRCALL(btrieve::kOpClose, positionBlock.data(), &ownerName, &length, name.data(),
                         0, 1);
  if (!findings) return true;
  std::string out;
  for (const btrieve::IndexFinding& finding : *findings) {
    text::AppendControlsEscaped(out, path, true);
    out += "\tkey " + std::to_string(finding.key);
    out += "\tpage " + Figure(finding.page);
    out += "\tentry " + Figure(finding.entry);
    out += '\t';
    out += finding.what;
    out += '\n';
  }
  context.Out() << out;
  if (!findings->empty()) context.MarkTrouble();
  return true;
}

}  // namespace

void RunVerify(VerbContext& context) {
  for (const std::string& path : context.CommandLine().operands) {
    if (KindOfPath(path) == PathKind::kDirectory) {
      context.Report(path, kIsADirectory);
      continue;
    }
    (void)VerifyFile(context, path);
  }
}

}  // namespace cli
