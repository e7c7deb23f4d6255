#pragma once
#include "loader/webview2_win.h"

// The loader built into the executable, used when no usable WebView2Loader.dll
// sits beside it. Same types and contracts as the DLL's two functions: a
// browser folder (fixed runtime) or null/empty (the installed runtime), version
// strings allocated with CoTaskMemAlloc.
HRESULT STDAPICALLTYPE BuiltInGetAvailableBrowserVersionString(PCWSTR browserExecutableFolder, LPWSTR* versionInfo);
HRESULT STDAPICALLTYPE BuiltInCreateEnvironmentWithOptions(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler);
