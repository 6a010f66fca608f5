// kl7view: start-up from the command line, then the main window and the message loop.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "app/usage.h"
#include "libfile/record_manager.h"
#include "startup/command_line.h"
#include "startup/directory_lookup.h"
#include "startup/startup_sequence.h"
#include "viewer/qt/kelmform.h"

namespace {

// The arguments after the program's own path, split as the system's rules say.
std::vector<std::string> ProgramArguments(int argc, char** argv) {
#if defined(_WIN32)
  (void)argc;
  (void)argv;
  std::vector<std::string> arguments = startup::SplitCommandLine(::GetCommandLineA());
  if (!arguments.empty()) arguments.erase(arguments.begin());
  return arguments;
#else
  // The shell has split them already.
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
#endif
}

#if defined(_WIN32)
constexpr startup::PathStyle kPathStyle = startup::PathStyle::kWindows;
#else
constexpr startup::PathStyle kPathStyle = startup::PathStyle::kPosix;
#endif

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = ProgramArguments(argc, argv);
  // --help and --version count only on their own; in any other list they are arguments like any.
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "--version")) {
    if (arguments[0] == "--help") {
      std::fputs(app::kHelp, stdout);
    } else {
      std::fputs(app::kVersionLine, stdout);
    }
    return 0;
  }
  startup::FileSystemLookup lookup;
  startup::StartupOutcome outcome = startup::RunStartup(arguments, kPathStyle, lookup);
  // An argument list that cannot be used ends the program at once, with status 0 and no window;
  // one line says why.
  if (!outcome.values) {
    std::fprintf(stderr, "kl7view: %s\n%s", outcome.reason.c_str(), app::kUsageLine);
    return 0;
  }

  // Qt sees only the program's name: the arguments are ours, whatever they look like.
  int qtArgc = 1;
  char* qtArgv[] = {argc > 0 ? argv[0] : const_cast<char*>("kl7view"), nullptr};
  QApplication application(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("kl7view"));
  // The installed desktop entry and icon: Wayland finds the icon through the entry, X11 gets it.
  QGuiApplication::setDesktopFileName(QStringLiteral("invalid.kl7view.Viewer"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("invalid.kl7view.Viewer")));

  libfile::NativeRecordManager recordManager;
  viewer::TKelmform window(std::move(*outcome.values), recordManager);
  window.show();
  (void)QApplication::exec();
  return 0;
}
