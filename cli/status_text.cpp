// The meaning of a record-manager status code, as kl7 prints it.
#include "cli/status_text.h"

#include <string_view>

#include "btrieve/status_meaning.h"

namespace cli {

std::string StatusMeaning(std::uint16_t status) {
  const std::string_view meaning = btrieve::StatusMeaning(status);
  return meaning.empty() ? std::string("status unknown to kl7") : std::string(meaning);
}

}  // namespace cli
