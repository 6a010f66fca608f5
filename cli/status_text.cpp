// The meaning of a record-manager status code, as kl7 prints it.
#include "cli/status_text.h"

#include <string_view>

#include "btrieve/status_meaning.h"

namespace cli {

std::string StatusMeaning(std::uint16_t status) {
  const std::string_view meaning = btrieve::StatusMeaning(status);
  return meaning.empty() ? std::string("status unknown to kl7") : std::string(meaning);
}

std::string StatusMessage(std::uint16_t status, const std::optional<btrieve::Reason>& reason) {
  if (!reason || reason->status != status || reason->check == btrieve::Check::kCannotOpen) {
    return StatusMeaning(status);
  }
  std::string kind;
  switch (reason->check) {
    case btrieve::Check::kCannotRead:
    case btrieve::Check::kChangedWhileRead:
    case btrieve::Check::kNoMemory:
    case btrieve::Check::kTooLarge:
      kind = "cannot read the file";
      break;
    default:
      kind = status == 2    ? "damaged file"
             : status == 30 ? "not a record file this reader reads"
                            : StatusMeaning(status);
      break;
  }
  return kind + ": " + btrieve::ReasonText(*reason);
}

}  // namespace cli
