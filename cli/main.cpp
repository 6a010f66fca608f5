// The kl7 program: hands its arguments to the verbs.
#include <cstddef>
#include <iostream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "btrieve/process_heap.h"
#include "cli/kl7.h"

#if defined(_WIN32)
#include <windows.h>

#include "cli/windows_streams.h"
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

// The columns of the terminal that standard output writes to; 0 when it is no terminal.
std::size_t TerminalWidth() {
#if defined(_WIN32)
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return 0;
  return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
#else
  if (isatty(STDOUT_FILENO) == 0) return 0;
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  btrieve::PrepareProcessHeap();
#if defined(_WIN32)
  // Arguments from the wide command line (the ANSI one cannot hold every name), and output that
  // bypasses the C runtime's text mode.
  (void)argc;
  (void)argv;
  const std::vector<std::string> arguments = cli::WideArguments();
  const std::unique_ptr<std::streambuf> outBuffer = cli::StandardHandleBuffer(STD_OUTPUT_HANDLE);
  const std::unique_ptr<std::streambuf> errBuffer = cli::StandardHandleBuffer(STD_ERROR_HANDLE);
  std::ostream out(outBuffer.get());
  std::ostream err(errBuffer.get());
  err.setf(std::ios::unitbuf);
  const int status = cli::Run(arguments, out, err, TerminalWidth());
  err.flush();
  return status;
#else
  std::ios::sync_with_stdio(false);
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i)
    arguments.emplace_back(argv[i]);
  return cli::Run(arguments, std::cout, std::cerr, TerminalWidth());
#endif
}
