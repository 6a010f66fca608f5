// The kl7 program: hands its arguments to the verbs.
#include <iostream>
#include <string>
#include <vector>

#include "cli/kl7.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i)
    arguments.emplace_back(argv[i]);
  return cli::Run(arguments, std::cout, std::cerr);
}
