// `kl7view DIR`: a start on a directory is a start on its catalogue's file.
#pragma once

#include <optional>
#include <string>

namespace viewer {

// The catalogue file that a start on `directory` (UTF-8) takes: its KL700.DAT, or else that of a
// directory named utils (in any letter case) inside it; file names in any letter case. The path
// is `directory`, then `separator` where needed, the utils directory as spelt on disk and
// "KL700.DAT". Nothing when neither place holds a catalogue file.
[[nodiscard]] std::optional<std::string> CatalogueFileOf(const std::string& directory,
                                                         char separator);

}  // namespace viewer
