// The meaning of a record-manager status code, as kl7 prints it.
#pragma once

#include <cstdint>
#include <string>

namespace cli {

// A short English phrase for `status` ("file not found" for 12); "status unknown to kl7" for a code
// without one.
[[nodiscard]] std::string StatusMeaning(std::uint16_t status);

}  // namespace cli
