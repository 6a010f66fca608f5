// The meaning of a record-manager status code, as kl7 prints it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "btrieve/reason.h"

namespace cli {

// A short English phrase for `status` ("file not found" for 12); "status unknown to kl7" for a code
// without one.
[[nodiscard]] std::string StatusMeaning(std::uint16_t status);

// What kl7 says about `status`: with the record manager's reason, the kind of refusal and the
// reason ("damaged file: page 17 of 120: record slot 40 lies beyond the page"); without one, or
// for a file that did not open at all, StatusMeaning.
[[nodiscard]] std::string StatusMessage(std::uint16_t status,
                                        const std::optional<btrieve::Reason>& reason);

}  // namespace cli
