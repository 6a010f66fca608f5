// What a window program writes for a user who started it from a console, and the arguments it was
// started with.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace viewer::win32 {

// The arguments after the program's own path, from the wide command line split by the start-up's
// rules, in UTF-8.
[[nodiscard]] std::vector<std::string> ProgramArguments();

enum class Stream { kOut, kErr };

// Writes UTF-8 `text` to the program's standard output or error where it has one (redirected to a
// file or a pipe: the bytes as they are), otherwise to the console of the process that started it,
// if that one has a console. Nothing happens when neither exists.
void WriteStandard(Stream stream, std::string_view text);

}  // namespace viewer::win32
