#include "common/paths.h"

#include <algorithm>

namespace {

const std::wstring kLongPrefix = L"\\\\?\\";
const std::wstring kLongUncPrefix = L"\\\\?\\UNC\\";
const std::wstring kDevicePrefix = L"\\\\.\\";

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::wstring AddLongPathPrefix(const std::wstring& path) {
    std::wstring result = path;
    std::replace(result.begin(), result.end(), L'/', L'\\');
    if (result.size() < 4 || StartsWith(result, kLongPrefix) || StartsWith(result, kDevicePrefix)) return result;
    // "\\?\" in front of "\\server" names nothing; a share needs the UNC form.
    if (StartsWith(result, L"\\\\")) return kLongUncPrefix + result.substr(2);
    return kLongPrefix + result;
}

std::wstring StripLongPathPrefix(const std::wstring& path) {
    if (StartsWith(path, kLongUncPrefix)) return L"\\\\" + path.substr(kLongUncPrefix.size());
    if (StartsWith(path, kLongPrefix)) return path.substr(kLongPrefix.size());
    return path;
}
