#pragma once
#include <array>
#include <string>

// Where a WebView2 runtime lies on disk and in the registry, and the version
// string it is reported with: the portable half of the built-in loader.

enum class RuntimeArchitecture { X86, X64 };

// The architecture of the running build: its runtime DLL must match it.
constexpr RuntimeArchitecture kProcessArchitecture =
    sizeof(void*) == 8 ? RuntimeArchitecture::X64 : RuntimeArchitecture::X86;

struct RuntimeChannel {
    const wchar_t* guid;    // "{...}": the channel's key under ClientState
    const wchar_t* suffix;  // appended to the version: "" for stable, " beta", ...
};

// Stable, beta, dev, canary: the order an installed runtime is searched in.
const std::array<RuntimeChannel, 4>& RuntimeChannels();

// Software\Microsoft\EdgeUpdate\ClientState\{GUID}, read under HKLM then HKCU in
// the 32-bit registry view; its REG_SZ value kRuntimeFolderValue names the
// installed runtime's folder.
std::wstring RuntimeRegistryKey(const RuntimeChannel& channel);
extern const wchar_t kRuntimeFolderValue[];

// <folder>\EBWebView\<x86|x64>\EmbeddedBrowserWebView.dll
std::wstring RuntimeDllPath(const std::wstring& folder, RuntimeArchitecture architecture);

// The fixed runtime shipped with an app: <appFolder>\webview2 and the DLL in it
// (UTF-8, as the app's folders are held).
std::string FixedRuntimeFolder(const std::string& appFolder);
std::string FixedRuntimeDllPath(const std::string& appFolder, RuntimeArchitecture architecture);

// An installed runtime's version: the last component of its registry folder,
// with the channel's suffix.
std::wstring InstalledRuntimeVersion(const std::wstring& registryFolder, const RuntimeChannel& channel);
