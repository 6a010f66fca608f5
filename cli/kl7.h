// kl7, the command-line companion of the viewer: one verb per job, data on `out`, messages on
// `err`. Reads library directories and record files; never writes to them.
#pragma once

#include <cstddef>
#include <ostream>
#include <span>
#include <string>

namespace cli {

// Exit statuses.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitTrouble = 1;  // a file could not be read, or check found a problem
inline constexpr int kExitUsage = 2;    // the command line cannot be used

// Runs kl7 on `arguments` (without the program's name) and returns the exit status.
// `terminalWidth` is the columns of the terminal that `out` writes to (0 when it is none): the
// table format cuts long texts to it.
[[nodiscard]] int Run(std::span<const std::string> arguments, std::ostream& out, std::ostream& err,
                      std::size_t terminalWidth = 0);

}  // namespace cli
