// The window tests' utilities directory (see viewer_core/window_libraries.h), with its path as the
// Qt window shows it.
#pragma once

#include <QString>

#include "viewer_core/window_libraries.h"

namespace viewer::testing {

class LibrarySet : public WindowLibraries {
 public:
  // The "UTILS" value as the caption shows it.
  [[nodiscard]] QString UtilsShown() const { return QString::fromStdString(Utils()); }
};

}  // namespace viewer::testing
