#include "loader/runtime_layout.h"

const wchar_t kRuntimeFolderValue[] = L"EBWebView";

namespace {

template <class Char>
bool IsSeparator(Char c) {
    return c == Char('\\') || c == Char('/');
}

// `rest` is ASCII, so it widens character by character.
template <class Text>
Text Join(const Text& folder, const char* rest) {
    const Text tail(rest, rest + std::char_traits<char>::length(rest));
    if (folder.empty() || IsSeparator(folder.back())) return folder + tail;
    return folder + typename Text::value_type('\\') + tail;
}

const char* DllInFolder(RuntimeArchitecture architecture) {
    return architecture == RuntimeArchitecture::X64 ? "EBWebView\\x64\\EmbeddedBrowserWebView.dll"
                                                    : "EBWebView\\x86\\EmbeddedBrowserWebView.dll";
}

}  // namespace

const std::array<RuntimeChannel, 4>& RuntimeChannels() {
    static const std::array<RuntimeChannel, 4> channels{{
        {L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}", L""},
        {L"{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}", L" beta"},
        {L"{0D50BFEC-CD6A-4F9A-964C-C7416E3ACB10}", L" dev"},
        {L"{65C35B14-6C1D-4122-AC46-7148CC9D6497}", L" canary"},
    }};
    return channels;
}

std::wstring RuntimeRegistryKey(const RuntimeChannel& channel) {
    return std::wstring(L"Software\\Microsoft\\EdgeUpdate\\ClientState\\") + channel.guid;
}

std::wstring RuntimeDllPath(const std::wstring& folder, RuntimeArchitecture architecture) {
    return Join(folder, DllInFolder(architecture));
}

std::string FixedRuntimeFolder(const std::string& appFolder) { return Join(appFolder, "webview2"); }

std::string FixedRuntimeDllPath(const std::string& appFolder, RuntimeArchitecture architecture) {
    return Join(FixedRuntimeFolder(appFolder), DllInFolder(architecture));
}

std::wstring InstalledRuntimeVersion(const std::wstring& registryFolder, const RuntimeChannel& channel) {
    size_t end = registryFolder.size();
    while (end > 0 && IsSeparator(registryFolder[end - 1])) --end;
    size_t start = end;
    while (start > 0 && !IsSeparator(registryFolder[start - 1])) --start;
    return registryFolder.substr(start, end - start) + channel.suffix;
}
