// What the record manager's status codes mean, in words both programs print.
#pragma once

#include <cstdint>
#include <string_view>

namespace btrieve {

// A short English phrase for `status` ("file not found" for 12), taken from the engine's
// documented codes that a read-only reader can meet; empty for a code without one.
[[nodiscard]] std::string_view StatusMeaning(std::uint16_t status);

}  // namespace btrieve
