// A stand-in for the loader, so that today's exe (which loads WebView2Loader.dll beside itself) reaches
// the preview runtime: it finds EmbeddedBrowserWebView.dll in a fixed runtime folder or through the
// registry, and calls its creation entry point. Development only; it goes once the exe finds runtimes
// itself.

#include <windows.h>

#include <optional>
#include <string>

#include "loader/webview2_win.h"

namespace {

using CreateInternalFn = HRESULT(STDAPICALLTYPE*)(BOOL, int, PCWSTR, ICoreWebView2EnvironmentOptions*,
                                                  ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*);

#ifdef _WIN64
const wchar_t kArchitecture[] = L"x64";
#else
const wchar_t kArchitecture[] = L"x86";
#endif
const wchar_t kClientKey[] =
    L"SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";

std::wstring RegistryText(HKEY key, const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(key, kClientKey, name, RRF_RT_REG_SZ | RRF_SUBKEY_WOW6432KEY, nullptr, value, &size) != ERROR_SUCCESS)
        return {};
    return value;
}

// The runtime DLL: <folder>\EBWebView\<arch>\ for a given folder, else <location>\<pv>\ from the registry.
std::optional<std::wstring> RuntimeDll(PCWSTR folder) {
    std::wstring root;
    if (folder && *folder) {
        root = folder;
    } else {
        for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            const std::wstring location = RegistryText(hive, L"location"), version = RegistryText(hive, L"pv");
            if (!location.empty() && !version.empty()) {
                root = location + L"\\" + version;
                break;
            }
        }
    }
    if (root.empty()) return std::nullopt;
    const std::wstring dll = root + L"\\EBWebView\\" + kArchitecture + L"\\EmbeddedBrowserWebView.dll";
    if (GetFileAttributesW(dll.c_str()) == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return dll;
}

std::optional<std::wstring> ProductVersion(const std::wstring& dll) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(dll.c_str(), &ignored);
    std::string block(size, '\0');
    if (!size || !GetFileVersionInfoW(dll.c_str(), 0, size, block.data())) return std::nullopt;
    wchar_t* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\ProductVersion", reinterpret_cast<void**>(&text),
                        &length) || !text)
        return std::nullopt;
    return std::wstring(text);
}

}  // namespace

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
    GetAvailableCoreWebView2BrowserVersionString(PCWSTR browserExecutableFolder, LPWSTR* versionInfo) {
    if (!versionInfo) return E_POINTER;
    *versionInfo = nullptr;
    const auto dll = RuntimeDll(browserExecutableFolder);
    const auto version = dll ? ProductVersion(*dll) : std::nullopt;
    if (!version) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    const size_t bytes = (version->size() + 1) * sizeof(wchar_t);
    *versionInfo = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*versionInfo) return E_OUTOFMEMORY;
    memcpy(*versionInfo, version->c_str(), bytes);
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE CreateCoreWebView2EnvironmentWithOptions(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler) {
    const auto dll = RuntimeDll(browserExecutableFolder);
    if (!dll) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    // Loaded for the rest of the process, as a runtime is.
    const HMODULE runtime = LoadLibraryExW(dll->c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const auto create = runtime ? reinterpret_cast<CreateInternalFn>(reinterpret_cast<void*>(
                                      GetProcAddress(runtime, "CreateWebViewEnvironmentWithOptionsInternal")))
                                : nullptr;
    if (!create) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    return create(TRUE, browserExecutableFolder && *browserExecutableFolder ? 1 : 0, userDataFolder,
                  environmentOptions, environmentCreatedHandler);
}
