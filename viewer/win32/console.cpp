// Standard streams and the parent's console for a program of the window subsystem.
#include "viewer/win32/console.h"

#include <windows.h>

#include <algorithm>

#include "startup/command_line.h"

namespace viewer::win32 {

namespace {

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int length =
      ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), length, nullptr, nullptr);
  return text;
}

bool Usable(HANDLE handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// The console of the parent process, attached once; null when it has none.
HANDLE ParentConsole() {
  static const HANDLE console = [] {
    if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return HANDLE(nullptr);
    HANDLE output =
        ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    return Usable(output) ? output : HANDLE(nullptr);
  }();
  return console;
}

}  // namespace

std::vector<std::string> ProgramArguments() {
  std::vector<std::string> arguments = startup::SplitCommandLine(Utf8(::GetCommandLineW()));
  if (!arguments.empty()) arguments.erase(arguments.begin());
  return arguments;
}

void WriteStandard(Stream stream, std::string_view text) {
  HANDLE handle = ::GetStdHandle(stream == Stream::kOut ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (!Usable(handle)) handle = ParentConsole();
  if (!Usable(handle) || text.empty()) return;
  DWORD mode = 0;
  if (::GetConsoleMode(handle, &mode)) {
    // A console shows every character through its wide output, whatever its code page.
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    if (length <= 0) return;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    const wchar_t* at = wide.data();
    DWORD left = static_cast<DWORD>(wide.size());
    while (left > 0) {
      DWORD done = 0;
      if (!::WriteConsoleW(handle, at, left, &done, nullptr) || done == 0) return;
      at += done;
      left -= done;
    }
    return;
  }
  while (!text.empty()) {
    DWORD done = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 30));
    if (!::WriteFile(handle, text.data(), chunk, &done, nullptr) || done == 0) return;
    text.remove_prefix(done);
  }
}

}  // namespace viewer::win32
