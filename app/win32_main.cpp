// kl7view.exe: start-up from the wide command line, then the native window and its message loop.
#include <windows.h>

#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/usage.h"
#include "libfile/record_manager.h"
#include "startup/directory_lookup.h"
#include "startup/startup_sequence.h"
#include "text/control_escape.h"
#include "viewer/core/start_directory.h"
#include "viewer/win32/console.h"
#include "viewer/win32/kelmform_window.h"

int main() {
  using viewer::win32::Stream;
  using viewer::win32::WriteStandard;
  const std::vector<std::string> arguments = viewer::win32::ProgramArguments();
  // --help and --version count only on their own; in any other list they are arguments like any.
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "--version")) {
    WriteStandard(Stream::kOut, arguments[0] == "--help" ? app::kHelp : app::kVersionLine);
    return 0;
  }
  startup::FileSystemLookup lookup;
  // A directory alone starts on its catalogue, or on that of the utils directory in it.
  const viewer::StartArguments start = viewer::ArgumentsForStart(
      arguments, arguments.size() == 1 && lookup.IsDirectory(arguments[0]), '\\');
  if (!start.arguments) {
    WriteStandard(Stream::kErr, "kl7view: " + start.refusal + "\n" + app::kUsageLine);
    return 0;
  }
  const std::vector<std::string>& startArguments = *start.arguments;
  startup::StartupOutcome outcome =
      startup::RunStartup(startArguments, startup::PathStyle::kWindows, lookup);
  // An argument list that cannot be used ends the program at once, with status 0 and no window;
  // one line says why.
  if (!outcome.values) {
    WriteStandard(Stream::kErr,
                  "kl7view: " + text::ControlsEscaped(outcome.reason) + "\n" + app::kUsageLine);
    return 0;
  }
  try {
    libfile::NativeRecordManager recordManager;
    viewer::win32::KelmformWindow window(std::move(*outcome.values), recordManager);
    window.Run();
  } catch (const std::exception& error) {
    WriteStandard(Stream::kErr, std::string("kl7view: ") + error.what() + "\n");
    return 1;
  }
  return 0;
}
