// kl7's standard streams and arguments on Windows: UTF-8 inside, wide at the edges.
#pragma once

#if defined(_WIN32)

#include <memory>
#include <streambuf>
#include <string>
#include <vector>

namespace cli {

// The program's arguments after its own name, from the wide command line, in UTF-8.
[[nodiscard]] std::vector<std::string> WideArguments();

// A stream buffer over a standard handle (STD_OUTPUT_HANDLE or STD_ERROR_HANDLE). Redirected to a
// file or a pipe, it writes the bytes as they are (no CR before LF, as on Linux); to a console it
// writes the UTF-8 text through the console's wide-character output, so that every character
// shows whatever the console's code page. A write that fails makes the stream fail.
[[nodiscard]] std::unique_ptr<std::streambuf> StandardHandleBuffer(unsigned long which);

}  // namespace cli

#endif
