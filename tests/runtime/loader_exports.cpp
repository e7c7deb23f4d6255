// The loader's entry points, exported under their undecorated names (linked with --kill-at).
// Both builds export them; the runtime build (EmbeddedBrowserWebView.dll) is entered through
// runtime_exports.cpp instead.

#include "create_file_counter.h"
#include "creation.h"
#include "standin_com.h"
#include "transcript.h"
#include "version_lookup.h"

using namespace standin;

namespace {

int CompareParts(const std::wstring& left, const std::wstring& right, bool* valid) {
    unsigned long a[4] = {}, b[4] = {};
    *valid = swscanf(left.c_str(), L"%lu.%lu.%lu.%lu", &a[0], &a[1], &a[2], &a[3]) == 4 &&
             swscanf(right.c_str(), L"%lu.%lu.%lu.%lu", &b[0], &b[1], &b[2], &b[3]) == 4;
    for (int i = 0; i < 4; ++i) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

}  // namespace

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
    GetAvailableCoreWebView2BrowserVersionString(PCWSTR browserExecutableFolder, LPWSTR* versionInfo) {
    const auto version = AvailableVersion(browserExecutableFolder);
    HRESULT hr = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    if (versionInfo) *versionInfo = nullptr;
    if (!versionInfo) {
        hr = E_POINTER;
    } else if (version) {
        hr = ReturnString(ToWide(*version), versionInfo);
    }
    Record("GetAvailableCoreWebView2BrowserVersionString",
           {{"folder", Json(browserExecutableFolder)},
            {"version", version ? nlohmann::json(*version) : nlohmann::json()},
            {"hr", HresultText(hr)}});
    return hr;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
    CompareBrowserVersions(PCWSTR version1, PCWSTR version2, int* result) {
    bool valid = false;
    const int order = version1 && version2 ? CompareParts(version1, version2, &valid) : 0;
    const HRESULT hr = valid && result ? S_OK : E_INVALIDARG;
    if (hr == S_OK) *result = order;
    Record("CompareBrowserVersions", {{"version1", Json(version1)},
                                      {"version2", Json(version2)},
                                      {"result", hr == S_OK ? nlohmann::json(order) : nlohmann::json()},
                                      {"hr", HresultText(hr)}});
    return hr;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE CreateCoreWebView2EnvironmentWithOptions(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler) {
    return CreateEnvironment("CreateCoreWebView2EnvironmentWithOptions", nlohmann::json::object(),
                             {true, browserExecutableFolder, userDataFolder, environmentOptions},
                             environmentCreatedHandler, AvailableVersion(browserExecutableFolder));
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        Record("load", {{"pid", GetCurrentProcessId()},
                        {"exe", ToUtf8(ExePath().c_str())},
                        {"module", ToUtf8(ModulePath().c_str())}});
        CountExeCreateFileCalls();
    } else if (reason == DLL_PROCESS_DETACH) {
        Record("exit", {{"pid", GetCurrentProcessId()}});
    }
    return TRUE;
}
