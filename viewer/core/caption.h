// The window's caption line: the head that names the library, its number and the reference of the
// selected entry, built as 8-bit text, the fixed texts that the window shows, and the conversion of
// texts to what the user sees.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "libraries/library_cache.h"

namespace viewer {

inline constexpr std::string_view kWindowCaption = "Bibliotheken 32 Bit-Version";
inline constexpr std::string_view kInitialLabelCaption = "kk";
using core::kCatalogueHeading;
// The layout marker that every caption carries after its head.
inline constexpr std::string_view kCurrentLayoutMarker = "  -  ";
inline constexpr std::string_view kSixteenBitLayoutMarker = " -(16Bit) ";

enum class CaptionOccasion {
  kCreation,          // the window has just been created on a library (the catalogue included)
  kLibraryRefresh,    // a click or a moving key inside a library
  kCatalogueRefresh,  // a click or a moving key in the catalogue
  kOpened,            // a library has been opened from the catalogue
  kBack,              // back in the catalogue from the library `library`
};

// `value` in upper-case hexadecimal with at least two digits; a negative value gives the eight
// digits of its 32-bit two's complement (-1 gives FFFFFFFF).
[[nodiscard]] std::string HexX2(std::int32_t value);

// `value` in decimal, with a leading "-" when negative.
[[nodiscard]] std::string DecimalD(std::int32_t value);

// The head of a caption. `name` is the catalogue's line for the library (Name(0) for the catalogue
// refresh and the way back), or nothing when the head goes without a name. `library` is the library
// shown (the one just left for kBack); `index` is the entry at creation or the list's item index
// for a refresh, and is not used for kOpened and kBack.
[[nodiscard]] std::string CaptionHead(CaptionOccasion occasion,
                                      const std::optional<std::string>& name, std::uint8_t library,
                                      std::int32_t index);

// An 8-bit (Windows-1252) text as the window shows it.
[[nodiscard]] std::u16string ShownText(std::string_view cp1252);

// A path as the user knows it: the programs keep paths in UTF-8 (on POSIX systems the file
// system's bytes, which are UTF-8 there); each malformed sequence shows as U+FFFD.
[[nodiscard]] std::u16string ShownPath(std::string_view utf8);

// What the window shows (UTF-16) as UTF-8, as typed text is searched; an unpaired surrogate gives
// U+FFFD.
[[nodiscard]] std::string Utf8FromShown(std::u16string_view shown);

// The caption as drawn where `fits` tells whether a text fits the label: whole when it fits,
// otherwise with the start of its directory part (its last `directoryLength` characters) given
// up for "\u2026", as little as fits, so that the head, the layout marker and the directory's end
// stay in view. Without a directory part it stays whole (the label cuts it off).
[[nodiscard]] std::u16string ElidedCaption(std::u16string_view caption, std::size_t directoryLength,
                                           const std::function<bool(std::u16string_view)>& fits);

}  // namespace viewer
