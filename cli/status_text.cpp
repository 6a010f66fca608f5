// The engine's status codes that a read-only reader can meet, with their usual meanings.
#include "cli/status_text.h"

#include <array>
#include <string_view>
#include <utility>

namespace cli {

std::string StatusMeaning(std::uint16_t status) {
  static constexpr std::array<std::pair<std::uint16_t, std::string_view>, 33> kMeanings{{
      {0, "success"},
      {1, "invalid operation"},
      {2, "I/O error or damaged file"},
      {3, "file not open"},
      {4, "key value not found"},
      {5, "duplicate key value"},
      {6, "invalid key number"},
      {7, "different key number"},
      {8, "invalid positioning"},
      {9, "end of file"},
      {11, "invalid file name"},
      {12, "file not found"},
      {13, "extension file error"},
      {14, "pre-image open error"},
      {15, "pre-image I/O error"},
      {18, "disk full"},
      {19, "unrecoverable error"},
      {20, "record manager inactive"},
      {21, "key buffer too short"},
      {22, "data buffer too short"},
      {30, "not a Btrieve file, or a variant this reader does not read"},
      {41, "operation not allowed"},
      {43, "invalid record address"},
      {46, "access to the file denied"},
      {47, "too many open files"},
      {49, "invalid extended key type"},
      {54, "variable part of a record damaged"},
      {82, "lost position"},
      {84, "record or page locked"},
      {85, "file locked"},
      {86, "file table full"},
      {88, "incompatible open mode"},
      {94, "permission error"},
  }};
  for (const auto& [code, meaning] : kMeanings) {
    if (code == status) return std::string(meaning);
  }
  return "status unknown to kl7";
}

std::string StatusMessage(std::uint16_t status, const std::optional<btrieve::Reason>& reason) {
  if (!reason || reason->status != status || reason->check == btrieve::Check::kCannotOpen) {
    return StatusMeaning(status);
  }
  std::string kind;
  switch (reason->check) {
    case btrieve::Check::kCannotRead:
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
