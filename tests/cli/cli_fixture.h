// A temporary utils directory built with the library writer, and a way to run kl7 in-process and
// collect what it printed on each stream.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/kl7.h"
#include "libfile/writer/library_writer.h"
#include "support/library_directory.h"

namespace cli::testing {

using libfile::writer::LibraryContents;
using libfile::writer::RecordLayout;

// A temporary utils directory for kl7's tests.
class TempDirectory : public kl7test::LibraryDirectory {
 public:
  TempDirectory() : kl7test::LibraryDirectory("kl7-cli") {}
};

struct RunResult {
  int exitStatus = -1;
  std::string out;
  std::string err;
};

inline RunResult RunKl7(std::vector<std::string> arguments) {
  std::ostringstream out;
  std::ostringstream err;
  RunResult result;
  result.exitStatus = Run(arguments, out, err);
  result.out = out.str();
  result.err = err.str();
  return result;
}

// `text` with every occurrence of `from` replaced by `to`.
inline std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// Runs kl7 with "{DIR}" in the arguments standing for `dir`, and gives its output with `dir`
// written back as "{DIR}", so that expected texts do not depend on where the directory was made.
inline RunResult RunKl7In(const TempDirectory& dir, std::vector<std::string> arguments) {
  for (std::string& argument : arguments)
    argument = ReplaceAll(argument, "{DIR}", dir.Path());
  RunResult result = RunKl7(arguments);
  result.out = ReplaceAll(result.out, dir.Path(), "{DIR}");
  result.err = ReplaceAll(result.err, dir.Path(), "{DIR}");
  return result;
}

}  // namespace cli::testing
