// kl7view: start-up from the command line, then the main window and the message loop.
#include <QApplication>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "libfile/record_manager.h"
#include "startup/directory_lookup.h"
#include "startup/startup_sequence.h"
#include "viewer/kelmform.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  startup::FileSystemLookup lookup;
  std::optional<startup::StartupValues> values =
      startup::RunStartup(arguments, startup::PathStyle::kPosix, lookup);
  // An argument list that cannot be used ends the program at once, silently.
  if (!values) return 0;

  // Qt sees only the program's name: the arguments are ours, whatever they look like.
  int qtArgc = 1;
  char* qtArgv[] = {argc > 0 ? argv[0] : const_cast<char*>("kl7view"), nullptr};
  QApplication application(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("kl7view"));

  libfile::NativeRecordManager recordManager;
  viewer::TKelmform window(std::move(*values), recordManager);
  window.show();
  (void)QApplication::exec();
  return 0;
}
