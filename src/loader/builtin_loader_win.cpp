#include "loader/builtin_loader_win.h"

#include <winver.h>

#include <cstring>
#include <optional>
#include <string>

#include "common/library_win.h"
#include "loader/runtime_layout.h"

namespace {

// What the runtime DLL is told about how it was found.
enum RuntimeKind : int { kInstalledRuntime = 0, kGivenFolder = 1 };

// The runtime DLL's own entry point (undecorated stdcall export, 5 arguments).
typedef HRESULT STDAPICALLTYPE CreateInternalFunction(
    BOOL checked, int runtimeKind, PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler);

struct RuntimeDll {
    std::wstring path;
    RuntimeKind kind;
    std::wstring installedVersion;  // only for kInstalledRuntime: from the registry folder's name
};

bool FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// LoadLibraryExW's altered search order needs an absolute path.
std::wstring FullPath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    return full;
}

std::optional<std::wstring> RegistryFolder(HKEY root, const RuntimeChannel& channel) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, RuntimeRegistryKey(channel).c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &opened) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    const UniqueRegistryKey key(opened);
    DWORD bytes = 0;
    if (RegGetValueW(key.get(), nullptr, kRuntimeFolderValue, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::wstring folder(bytes / sizeof(wchar_t), L'\0');
    if (RegGetValueW(key.get(), nullptr, kRuntimeFolderValue, RRF_RT_REG_SZ, nullptr, folder.data(), &bytes) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    folder.resize(bytes / sizeof(wchar_t));
    while (!folder.empty() && folder.back() == L'\0') folder.pop_back();  // the terminator is counted
    // An empty value would name the current directory.
    if (folder.empty()) return std::nullopt;
    return folder;
}

// The first channel, machine-wide before per-user, whose folder holds the DLL.
std::optional<RuntimeDll> FindInstalledRuntime() {
    for (const RuntimeChannel& channel : RuntimeChannels()) {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            const auto folder = RegistryFolder(root, channel);
            if (!folder) continue;
            std::wstring dll = FullPath(RuntimeDllPath(*folder, kProcessArchitecture));
            if (FileExists(dll)) {
                return RuntimeDll{std::move(dll), kInstalledRuntime, InstalledRuntimeVersion(*folder, channel)};
            }
        }
    }
    return std::nullopt;
}

std::optional<RuntimeDll> LocateRuntime(PCWSTR browserExecutableFolder) {
    if (!browserExecutableFolder || !*browserExecutableFolder) return FindInstalledRuntime();
    std::wstring dll = FullPath(RuntimeDllPath(browserExecutableFolder, kProcessArchitecture));
    if (!FileExists(dll)) return std::nullopt;
    return RuntimeDll{std::move(dll), kGivenFolder, {}};
}

// StringFileInfo\040904B0\ProductVersion of the DLL. version.dll comes from
// System32 only: imported, a copy planted beside the exe would load at every start.
std::optional<std::wstring> ProductVersion(const std::wstring& dll) {
    const Library versionLibrary = Library::FromSystem32(L"version.dll");
    const auto infoSize = versionLibrary.Find<decltype(GetFileVersionInfoSizeW)>("GetFileVersionInfoSizeW");
    const auto info = versionLibrary.Find<decltype(GetFileVersionInfoW)>("GetFileVersionInfoW");
    const auto query = versionLibrary.Find<decltype(VerQueryValueW)>("VerQueryValueW");
    if (!infoSize || !info || !query) return std::nullopt;
    std::string block(infoSize(dll.c_str(), nullptr), '\0');
    if (block.empty() || !info(dll.c_str(), 0, static_cast<DWORD>(block.size()), block.data())) return std::nullopt;
    void* value = nullptr;
    UINT length = 0;
    if (!query(block.data(), L"\\StringFileInfo\\040904B0\\ProductVersion", &value, &length) || length <= 1) {
        return std::nullopt;
    }
    return std::wstring(static_cast<const wchar_t*>(value));
}

HRESULT ReturnCoTaskString(const std::wstring& text, LPWSTR* out) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*out) return E_OUTOFMEMORY;
    memcpy(*out, text.c_str(), bytes);
    return S_OK;
}

}  // namespace

HRESULT STDAPICALLTYPE BuiltInGetAvailableBrowserVersionString(PCWSTR browserExecutableFolder, LPWSTR* versionInfo) {
    if (!versionInfo) return E_POINTER;
    *versionInfo = nullptr;
    const auto runtime = LocateRuntime(browserExecutableFolder);
    if (!runtime) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    const auto version =
        runtime->kind == kInstalledRuntime ? std::optional<std::wstring>(runtime->installedVersion)
                                           : ProductVersion(runtime->path);
    if (!version) return HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND);
    return ReturnCoTaskString(*version, versionInfo);
}

HRESULT STDAPICALLTYPE BuiltInCreateEnvironmentWithOptions(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler) {
    const auto runtime = LocateRuntime(browserExecutableFolder);
    if (!runtime) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    Library library = Library::FromPath(runtime->path);
    if (!library) return HRESULT_FROM_WIN32(GetLastError());
    const auto create = library.Find<CreateInternalFunction>("CreateWebViewEnvironmentWithOptionsInternal");
    if (!create) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    // The runtime's objects, threads and callbacks live in this DLL until the process ends.
    library.KeepForProcessLife();
    return create(TRUE, runtime->kind, userDataFolder, environmentOptions, environmentCreatedHandler);
}
