// Windows command-line splitting: separators below "!", double quotes group, no escapes.
#include "startup/command_line.h"

#include <utility>

namespace startup {
namespace {

bool IsSeparator(char c) {
  return static_cast<unsigned char>(c) < static_cast<unsigned char>('!');
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  std::vector<std::string> arguments;
  std::size_t i = 0;
  while (true) {
    while (i < commandLine.size() && IsSeparator(commandLine[i]))
      ++i;
    if (i == commandLine.size()) break;
    std::string argument;
    bool quoted = false;
    for (; i < commandLine.size() && (quoted || !IsSeparator(commandLine[i])); ++i) {
      if (commandLine[i] == '"') {
        quoted = !quoted;
      } else {
        argument += commandLine[i];
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

}  // namespace startup
