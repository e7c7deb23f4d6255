#pragma once

// Which runtime version the stand-in reports for a browser executable folder.

#include <optional>
#include <string>

#include "loader/webview2_win.h"

namespace standin {

// Null or empty folder: the installed (evergreen) runtime; otherwise a fixed runtime in that folder.
std::optional<std::string> AvailableVersion(PCWSTR browserExecutableFolder);

}  // namespace standin
