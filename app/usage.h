// kl7view's usage line and help text, the same for every front.
#pragma once

#ifndef KL7_VERSION
#define KL7_VERSION "0"
#endif

namespace app {

inline constexpr const char* kUsageLine =
    "usage: kl7view DIRECTORY/KL7xx.DAT | kl7view DIRECTORY | kl7view 'LIB[n,m]' PATH "
    "(kl7view --help tells more)\n";

inline constexpr const char* kHelp =
    "usage: kl7view [DIRECTORY/]KL7xx.DAT\n"
    "       kl7view DIRECTORY\n"
    "       kl7view 'LIB[n,m]' PATH\n"
    "\n"
    "Shows the library in the file KL7xx.DAT (xx: its number in hexadecimal;\n"
    "KL700.DAT is the catalogue of library names), or library n with entry m\n"
    "selected, read from the first directory named utils (in any letter case) on\n"
    "the way up from the directory of PATH. A DIRECTORY alone starts on its\n"
    "KL700.DAT, or on that of the utils directory (in any letter case) in it.\n"
    "Nothing is ever written.\n"
    "\n"
    "Keys in the window:\n"
    "  arrows, Page Up, Page Down, Home, End, letters: move through the list\n"
    "  Enter, double click: in the catalogue open the library, in a library copy\n"
    "    the entry to the clipboard\n"
    "  Ctrl+C: in a library copy the entry\n"
    "  Backspace, Shift+Enter, right or back mouse button: back to the catalogue\n"
    "  F12: follow the entry's reference; Shift+F12: where the entry is used\n"
    "  Ctrl+F: search every library; F3, Shift+F3: next, previous match\n"
    "  Alt+Left, Alt+Right: back, forward through the views\n"
    "  F5: read the library again; F1: the list of keys\n"
    "  Ctrl+O: open a library file (KL7??.DAT) chosen in a file dialog\n"
    "  Esc, Ctrl+W, Ctrl+Q: close the window\n"
    "\n"
#if defined(_WIN32)
    "An argument list that cannot be used ends the program with status 0 and a\n"
    "line on stderr that says why. A library that cannot be read is named on\n"
    "stderr and in the caption's tool tip.\n"
#else
    "An argument list that cannot be used ends the program with status 0 and a\n"
    "line on stderr that says why; without a display it ends with status 1. A\n"
    "library that cannot be read is named on stderr and in the caption's tool tip.\n"
#endif
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "\n"
#if defined(_WIN32)
    "The manual page: kl7view.txt in the installed program's folder (Program Files\\kl7view).\n";
#else
    "The manual page: man kl7view (doc/kl7view.1 in the sources).\n";
#endif

inline constexpr const char* kVersionLine = "kl7view " KL7_VERSION "\n";

}  // namespace app
