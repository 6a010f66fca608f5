// Splitting a Windows command line into arguments. On POSIX systems the shell has already split
// them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace startup {

// Splits `commandLine` by the Windows rules: every character below "!" (blanks and control
// characters) separates arguments; a double quote opens or closes a stretch in which such
// characters belong to the argument, and the quotes themselves are dropped; a backslash is an
// ordinary character. A quoted empty stretch ("") on its own is an empty argument. Bytes from 0x80
// up are ordinary. Everything in the text is split, so when it starts with the program's own path
// (as the process's command line does), the caller drops the first element.
[[nodiscard]] std::vector<std::string> SplitCommandLine(std::string_view commandLine);

}  // namespace startup
