// What the main window keeps about where the user stands.
#pragma once

#include <cstdint>
#include <string>

namespace viewer {

struct WindowState {
  std::uint8_t CurrentLibrary = 0;  // the library shown; 0 is the catalogue
  std::int32_t CurrentEntry = 0;    // read once, at creation: the entry selected first
  bool CatalogueLoaded = false;     // the catalogue's load at creation succeeded
  std::string LayoutMarker;         // set once at creation, when the first library loads
};

}  // namespace viewer
