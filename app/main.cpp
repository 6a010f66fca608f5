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
#else
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#endif

#include "app/usage.h"
#include "btrieve/process_heap.h"
#include "libfile/record_manager.h"
#include "startup/command_line.h"
#include "startup/directory_lookup.h"
#include "startup/native_path.h"
#include "startup/startup_sequence.h"
#include "text/control_escape.h"
#include "viewer/core/start_directory.h"
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

#if !defined(_WIN32)
// Whether a Unix-domain socket at `path` (a leading '@': in the abstract namespace) accepts a
// connection.
bool SocketAnswers(const std::string& path) {
  sockaddr_un address{};
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());
  socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
  if (path[0] == '@') {
    address.sun_path[0] = '\0';
  } else {
    ++length;  // the terminating zero
  }
  const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (descriptor < 0) return false;
  const bool answers =
      ::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), length) == 0;
  ::close(descriptor);
  return answers;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// Whether the window system Qt is going to use can be reached: an X server at DISPLAY or a Wayland
// compositor at WAYLAND_DISPLAY (whichever QT_QPA_PLATFORM allows). Another platform chosen in
// QT_QPA_PLATFORM, and an X server over the network, are taken on trust. Without this check Qt
// aborts the program when it finds no display.
bool DisplayReachable() {
  const std::string platform = Environment("QT_QPA_PLATFORM");
  const bool x11 = platform.empty() || platform.starts_with("xcb");
  const bool wayland = platform.empty() || platform.starts_with("wayland");
  if (!x11 && !wayland) return true;
  if (wayland) {
    const std::string display = Environment("WAYLAND_DISPLAY");
    if (!display.empty()) {
      const std::string path =
          display.front() == '/' ? display : Environment("XDG_RUNTIME_DIR") + "/" + display;
      if (SocketAnswers(path)) return true;
    }
  }
  if (x11) {
    std::string display = Environment("DISPLAY");
    if (display.starts_with("unix:")) display.erase(0, 4);
    const std::size_t colon = display.rfind(':');
    if (colon == std::string::npos) return false;
    if (colon > 0) return true;  // a host: reached over the network
    std::string number = display.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    if (number.empty()) return false;
    const std::string socket = "/tmp/.X11-unix/X" + number;
    return SocketAnswers(socket) || SocketAnswers("@" + socket);
  }
  return false;
}
#endif

#if defined(_WIN32)
constexpr startup::PathStyle kPathStyle = startup::PathStyle::kWindows;
#else
constexpr startup::PathStyle kPathStyle = startup::PathStyle::kPosix;
#endif

}  // namespace

int main(int argc, char** argv) {
  btrieve::PrepareProcessHeap();
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
  // A directory alone starts on its catalogue, or on that of the utils directory in it.
  const viewer::StartArguments start = viewer::ArgumentsForStart(
      arguments, arguments.size() == 1 && lookup.IsDirectory(arguments[0]),
      kPathStyle == startup::PathStyle::kWindows ? '\\' : '/');
  if (!start.arguments) {
    std::fprintf(stderr, "kl7view: %s\n%s", start.refusal.c_str(), app::kUsageLine);
    return 0;
  }
  const std::vector<std::string>& startArguments = *start.arguments;
  startup::StartupOutcome outcome = startup::RunStartup(startArguments, kPathStyle, lookup);
  // An argument list that cannot be used ends the program at once, with status 0 and no window;
  // one line says why.
  if (!outcome.values) {
    std::fprintf(stderr, "kl7view: %s\n%s", text::ControlsEscaped(outcome.reason).c_str(),
                 app::kUsageLine);
    return 0;
  }

#if !defined(_WIN32)
  if (!DisplayReachable()) {
    std::fputs(
        "kl7view: no display to show the window on: DISPLAY (or WAYLAND_DISPLAY) names none "
        "that answers\n",
        stderr);
    return 1;
  }
#endif

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
