// The window's fonts at a monitor's resolution: the label's outlined caption, the list's rows and
// the selected row.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace viewer::win32 {

// A GDI object that is deleted with its owner.
struct GdiObjectDeleter {
  void operator()(void* object) const { ::DeleteObject(static_cast<HGDIOBJ>(object)); }
};
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;

// A pixel size at 96 dots per inch at `dpi`, rounded as the system rounds.
[[nodiscard]] int Scale(int pixels, unsigned dpi);

// Whether a font family of exactly this name is installed (no substitution counts).
[[nodiscard]] bool FontInstalled(const wchar_t* face);

struct WindowFonts {
  FontHandle label;     // bold, outlined: "Microsoft Sans Serif", else Tahoma
  FontHandle list;      // "MS Sans Serif" where present, else as the label's face
  FontHandle selected;  // the selected row: the list's face, smaller
};

// The fonts for a monitor of `dpi` dots per inch.
[[nodiscard]] WindowFonts CreateWindowFonts(unsigned dpi);

}  // namespace viewer::win32
