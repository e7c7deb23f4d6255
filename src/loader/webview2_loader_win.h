#pragma once
#include <optional>
#include <string>

#include "common/unique_handle_win.h"
#include "loader/webview2_win.h"

// The two loader functions the host uses, bound from the WebView2Loader.dll that
// sits beside the executable. Loading by full path keeps a planted copy in the
// current directory or on PATH from being picked up.
struct WebView2Loader {
    UniqueModule module;
    GetAvailableBrowserVersionStringFn getAvailableBrowserVersionString = nullptr;
    CreateEnvironmentWithOptionsFn createEnvironmentWithOptions = nullptr;
};

// Empty when the library is missing or lacks either function.
std::optional<WebView2Loader> LoadWebView2Loader(const std::string& exeFolder);

// Whether a usable runtime answers for `browserExecutableFolder` (null: the
// installed one). Only the returned version string decides.
bool IsRuntimeAvailable(const WebView2Loader& loader, const wchar_t* browserExecutableFolder);
