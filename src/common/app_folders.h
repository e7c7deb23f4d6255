#pragma once
#include <string>

// The folders start-up derives once and every room reads: passed as one value.
struct AppFolders {
    std::string exe;       // the executable's folder, with its trailing backslash
    std::string content;   // relative to exe: "www\"
    std::string userData;  // the web view's profile: local app data, a backslash, the manifest's name
    std::string fixedRuntime;  // exe + "webview2" in fixed distribution mode, empty otherwise
};
