#include "loader/webview2_loader_win.h"

#include "common/paths.h"
#include "common/strings.h"

std::optional<WebView2Loader> LoadWebView2Loader(const std::string& exeFolder) {
    const std::wstring path = AddLongPathPrefix(Utf8ToWide(exeFolder + "WebView2Loader.dll"));
    WebView2Loader loader;
    loader.module.reset(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!loader.module) return std::nullopt;
    // The loader exports its stdcall functions under undecorated names.
    loader.getAvailableBrowserVersionString = reinterpret_cast<GetAvailableBrowserVersionStringFn>(
        reinterpret_cast<void*>(GetProcAddress(loader.module.get(), "GetAvailableCoreWebView2BrowserVersionString")));
    loader.createEnvironmentWithOptions = reinterpret_cast<CreateEnvironmentWithOptionsFn>(
        reinterpret_cast<void*>(GetProcAddress(loader.module.get(), "CreateCoreWebView2EnvironmentWithOptions")));
    if (!loader.getAvailableBrowserVersionString || !loader.createEnvironmentWithOptions) return std::nullopt;
    return loader;
}

bool IsRuntimeAvailable(const WebView2Loader& loader, const wchar_t* browserExecutableFolder) {
    LPWSTR version = nullptr;
    loader.getAvailableBrowserVersionString(browserExecutableFolder, &version);
    if (!version) return false;
    CoTaskMemFree(version);
    return true;
}
