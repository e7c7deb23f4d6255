#include "loader/webview2_loader_win.h"

#include <type_traits>

#include "common/co_task_string_win.h"
#include "common/paths.h"
#include "common/strings.h"
#include "loader/builtin_loader_win.h"

WebView2Loader::WebView2Loader(const std::string& exeFolder)
    : library_(Library::FromPath(AddLongPathPrefix(Utf8ToWide(exeFolder + "WebView2Loader.dll")))) {
    // The DLL exports its stdcall functions under undecorated names.
    getVersion_ = library_.Find<std::remove_pointer_t<GetAvailableBrowserVersionStringFn>>(
        "GetAvailableCoreWebView2BrowserVersionString");
    createEnvironment_ = library_.Find<std::remove_pointer_t<CreateEnvironmentWithOptionsFn>>(
        "CreateCoreWebView2EnvironmentWithOptions");
    if (getVersion_ && createEnvironment_) return;
    library_ = Library();
    getVersion_ = BuiltInGetAvailableBrowserVersionString;
    createEnvironment_ = BuiltInCreateEnvironmentWithOptions;
}

bool IsRuntimeAvailable(const WebView2Loader& loader, const wchar_t* browserExecutableFolder) {
    CoTaskString version;
    loader.GetAvailableBrowserVersionString()(browserExecutableFolder, version.Put());
    return static_cast<bool>(version);
}
