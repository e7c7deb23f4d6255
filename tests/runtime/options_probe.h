#pragma once

// Reads every value back from the host's environment options object, as the runtime would.

#include <nlohmann/json.hpp>

#include "loader/webview2_win.h"

namespace standin {

nlohmann::json ProbeOptions(ICoreWebView2EnvironmentOptions* options);

}  // namespace standin
