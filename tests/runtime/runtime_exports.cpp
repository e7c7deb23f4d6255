// The runtime's own entry point, as a loader calls it in EmbeddedBrowserWebView.dll once it has found the
// DLL (exported undecorated, linked with --kill-at). Being reached means the runtime is present.

#include "creation.h"
#include "runtime_version.h"

using namespace standin;

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE CreateWebViewEnvironmentWithOptionsInternal(
    BOOL checked, int runtimeKind, PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler) {
    return CreateEnvironment("CreateWebViewEnvironmentWithOptionsInternal",
                             {{"checked", checked}, {"kind", runtimeKind}},
                             {false, nullptr, userDataFolder, environmentOptions}, environmentCreatedHandler,
                             std::string(STANDIN_RUNTIME_VERSION));
}
