#pragma once

// Environment creation, shared by both doors into the stand-in: the loader's
// CreateCoreWebView2EnvironmentWithOptions and the runtime's own
// CreateWebViewEnvironmentWithOptionsInternal.

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "loader/webview2_win.h"

namespace standin {

// The caller's pointers, kept raw as a loader that calls the runtime again keeps them.
struct CreationRequest {
    bool hasFolder;  // only the loader's door is given a browser folder
    PCWSTR browserExecutableFolder;
    PCWSTR userDataFolder;
    ICoreWebView2EnvironmentOptions* options;
};

// Records `call` with `members` and what the request holds, then fails or queues the completion as the
// scenario says. `version` is the runtime found (none: HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)).
HRESULT CreateEnvironment(const char* call, nlohmann::json members, const CreationRequest& request,
                          ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler,
                          const std::optional<std::string>& version);

}  // namespace standin
