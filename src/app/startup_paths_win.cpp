#include "app/startup_paths_win.h"

#include <windows.h>
#include <knownfolders.h>
#include <pathcch.h>
#include <shlobj.h>

#include <vector>

#include "common/co_task_string_win.h"
#include "common/paths.h"
#include "common/strings.h"

namespace {

constexpr DWORD kLongPathUnits = 32767;

std::string ComputeExecutablePath() {
    std::vector<wchar_t> modulePath(kLongPathUnits);
    if (GetModuleFileNameW(nullptr, modulePath.data(), kLongPathUnits) == 0) return {};
    std::vector<wchar_t> canonical(kLongPathUnits);
    if (FAILED(PathCchCanonicalizeEx(canonical.data(), kLongPathUnits, modulePath.data(), PATHCCH_ALLOW_LONG_PATHS)))
        return {};
    return WideToUtf8(StripLongPathPrefix(canonical.data()));
}

std::string ComputeLocalAppDataPath() {
    CoTaskString folder;  // the shell allocates even on some failures
    if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, folder.Put()))) return {};
    return WideToUtf8(StripLongPathPrefix(folder.Get()));
}

// A cached empty result is computed again on the next use.
std::string Cached(std::string& cache, std::string (*compute)()) {
    if (cache.empty()) cache = compute();
    return cache;
}

}  // namespace

std::string ExecutablePath() {
    static std::string cache = ComputeExecutablePath();
    return Cached(cache, ComputeExecutablePath);
}

std::string LocalAppDataPath() {
    static std::string cache = ComputeLocalAppDataPath();
    return Cached(cache, ComputeLocalAppDataPath);
}
