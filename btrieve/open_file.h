// Turns a file name into the parsed form of that file: opens it read-only, reuses a cached parse of
// the unchanged file or reads and parses it anew.
#pragma once

#include <memory>
#include <string>

#include "btrieve/file_parser.h"

namespace btrieve {

// Status 0 with the parsed file, or the Open status: 12 (not found or a directory), 94 (no read
// permission), 11 (a name the system refuses), 30 or 2 (see ParseFile). A read that the file
// changed under is tried again (twice at most): the host may be writing the file. A file changed
// within the settling window is served only when a second read, made once any write under way has
// ended, gives the same bytes. A 6.x file is read only as far as the pages its PAT places.
[[nodiscard]] ParseResult OpenParsedFile(const std::string& name);

}  // namespace btrieve
