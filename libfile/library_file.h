// How a library file is opened, the same way in the loader and in kl7: read-only, and by the class
// of the layout it is written in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "libfile/basis_datei.h"
#include "libfile/basis_datei32.h"
#include "libfile/library_file_context.h"

namespace libfile {

// The open mode of every library file: read-only.
inline constexpr std::int16_t kReadOnlyOpenMode = -2;
// A current-layout file has at least this data length; below it the file is of the older "16Bit"
// layout.
inline constexpr std::uint16_t kMinimumCurrentDataLength = 39;

// Opens `fileName` with the current layout's class first and, when that finds a data length below
// kMinimumCurrentDataLength, closes it and opens the file with the older "16Bit" class. Calls
// `use(file, is16Bit)` with the open object (TBasisDatei32& or TBasisDatei&) whatever its Status(),
// closes the file after `use` returns, and returns what `use` returned. `header` and `count` are
// the classes' own arguments.
template <typename Use>
decltype(auto) OpenLibraryFile(LibraryFileContext& context, std::string_view fileName,
                               std::span<std::byte> header, std::int32_t& count, Use&& use) {
  // Each class closes its file when it goes out of scope.
  {
    TBasisDatei32 file(context, fileName, header, count, kReadOnlyOpenMode);
    if (file.DataLength() >= kMinimumCurrentDataLength) return use(file, false);
  }
  TBasisDatei file(context, fileName, header, count, kReadOnlyOpenMode);
  return use(file, true);
}

}  // namespace libfile
