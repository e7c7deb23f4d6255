#pragma once
#include <string>

#include "common/library_win.h"
#include "loader/webview2_win.h"

// The two loader functions the host uses. Microsoft's WebView2Loader.dll beside
// the executable answers when it is usable (it loads and has both functions);
// otherwise the built-in loader does, so the rest of the host does not care
// which. Loading by full path keeps a planted copy in the current directory or
// on PATH from being picked up.
class WebView2Loader {
public:
    explicit WebView2Loader(const std::string& exeFolder);

    GetAvailableBrowserVersionStringFn GetAvailableBrowserVersionString() const { return getVersion_; }
    CreateEnvironmentWithOptionsFn CreateEnvironmentWithOptions() const { return createEnvironment_; }

private:
    Library library_;  // empty while the built-in loader answers
    GetAvailableBrowserVersionStringFn getVersion_ = nullptr;
    CreateEnvironmentWithOptionsFn createEnvironment_ = nullptr;
};

// Whether a usable runtime answers for `browserExecutableFolder` (null: the
// installed one). Only the returned version string decides.
bool IsRuntimeAvailable(const WebView2Loader& loader, const wchar_t* browserExecutableFolder);
