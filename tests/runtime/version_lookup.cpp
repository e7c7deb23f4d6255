#include "version_lookup.h"

#include "scenario.h"
#include "standin_com.h"

namespace standin {
namespace {

std::optional<std::string> MarkerVersion() {
    wchar_t path[MAX_PATH * 4];
    const DWORD length = GetEnvironmentVariableW(L"QF_TEST_RUNTIME_MARKER", path, MAX_PATH * 4);
    if (length == 0 || length >= MAX_PATH * 4) return std::nullopt;
    auto text = ReadWholeFile(path);
    if (!text) return std::nullopt;
    std::string version = *text;
    const auto first = version.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    version = version.substr(first, version.find_last_not_of(" \t\r\n") - first + 1);
    return version;
}

std::optional<std::string> EvergreenVersion() {
    if (auto marker = MarkerVersion()) {
        if (marker->empty()) return std::nullopt;
        return marker;
    }
    return CurrentScenario().evergreenVersion;
}

}  // namespace

std::optional<std::string> AvailableVersion(PCWSTR browserExecutableFolder) {
    if (!browserExecutableFolder || !*browserExecutableFolder) return EvergreenVersion();
    std::wstring browser = browserExecutableFolder;
    if (browser.back() != L'\\' && browser.back() != L'/') browser += L'\\';
    browser += L"msedgewebview2.exe";
    const DWORD attributes = GetFileAttributesW(browser.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
    return CurrentScenario().fixedVersion;
}

}  // namespace standin
