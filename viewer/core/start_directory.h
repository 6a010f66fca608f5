// `kl7view DIR`: a start on a directory is a start on its catalogue's file.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace viewer {

// The catalogue file that a start on `directory` (UTF-8) takes: its KL700.DAT, or else that of a
// directory named utils (in any letter case) inside it; file names in any letter case. The path
// is `directory`, then `separator` where needed, the utils directory as spelt on disk and
// "KL700.DAT". Nothing when neither place holds a catalogue file.
[[nodiscard]] std::optional<std::string> CatalogueFileOf(const std::string& directory,
                                                         char separator);

// The arguments a start goes on with: a directory alone (`isDirectory` of the one argument)
// becomes its catalogue file, any other list stays as it is. Nothing when that directory holds no
// catalogue file; `refusal` then holds the line that says so (without the program's name).
struct StartArguments {
  std::optional<std::vector<std::string>> arguments;
  std::string refusal;
};
[[nodiscard]] StartArguments ArgumentsForStart(const std::vector<std::string>& arguments,
                                               bool isDirectory, char separator);

}  // namespace viewer
