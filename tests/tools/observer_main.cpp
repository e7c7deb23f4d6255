// Watches one process the way a person at the screen would: reports each of its message
// boxes (then presses OK), each change of its other top-level windows, optional snapshots
// of all its windows at given times, and finally its exit code. One JSON object per line.
//
//   qf_observer --out FILE [--timeout MS] [--cwd DIR] [--snapshot-at MS ...] -- PROGRAM [ARGS...]
//   qf_observer --out FILE [--timeout MS] [--snapshot-at MS ...] --pid PID
//   qf_observer --out FILE --info          (local application data folder and system DPI)
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "common/strings.h"
#include "json_lines.h"
#include "message_box_reader.h"
#include "observed_process.h"
#include "window_facts.h"

namespace {

constexpr DWORD kPollMs = 20;
constexpr int kUsageError = 3;
constexpr int kTimedOut = 2;

struct Options {
    std::wstring out;
    std::wstring folder;
    std::optional<ULONGLONG> timeoutMs;
    std::deque<ULONGLONG> snapshotsAtMs;
    std::optional<DWORD> pid;
    bool info = false;
    std::wstring commandLine;
};

std::optional<Options> ParseOptions(int count, wchar_t** args) {
    Options options;
    for (int i = 1; i < count; ++i) {
        const std::wstring arg = args[i];
        const bool hasValue = i + 1 < count;
        if (arg == L"--") {
            options.commandLine = QuoteCommandLine(count - i - 1, args + i + 1);
            break;
        } else if (arg == L"--info") {
            options.info = true;
        } else if (arg == L"--out" && hasValue) {
            options.out = args[++i];
        } else if (arg == L"--cwd" && hasValue) {
            options.folder = args[++i];
        } else if (arg == L"--timeout" && hasValue) {
            options.timeoutMs = wcstoull(args[++i], nullptr, 10);
        } else if (arg == L"--snapshot-at" && hasValue) {
            options.snapshotsAtMs.push_back(wcstoull(args[++i], nullptr, 10));
        } else if (arg == L"--pid" && hasValue) {
            options.pid = wcstoul(args[++i], nullptr, 10);
        } else {
            return std::nullopt;
        }
    }
    if (options.out.empty() || (!options.info && !options.pid && options.commandLine.empty())) return std::nullopt;
    std::sort(options.snapshotsAtMs.begin(), options.snapshotsAtMs.end());
    return options;
}

std::string LocalAppDataFolder() {
    PWSTR path = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &path))) folder = WideToUtf8(path);
    CoTaskMemFree(path);
    return folder;
}

int SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi;
}

nlohmann::json SnapshotOf(DWORD pid, ULONGLONG atMs) {
    nlohmann::json windows = nlohmann::json::array();
    for (HWND window : TopLevelWindowsOf(pid)) windows.push_back(WindowFacts(window));
    return {{"event", "snapshot"}, {"at", atMs}, {"windows", windows}};
}

// Everything the loop remembers between two looks at the screen.
struct Watch {
    std::set<HWND> answeredBoxes;
    std::map<HWND, nlohmann::json> lastFacts;
};

void LookOnce(DWORD pid, ULONGLONG elapsed, Watch& watch, JsonLines& out) {
    const auto windows = TopLevelWindowsOf(pid);
    std::set<HWND> present(windows.begin(), windows.end());
    for (HWND window : windows) {
        const std::wstring kind = ClassNameOf(window);
        // Gone while we looked, or the input-method window that every GUI thread gets.
        if (kind.empty() || kind == L"IME") continue;
        if (kind == kDialogClass) {
            if (!IsWindowVisible(window) || watch.answeredBoxes.count(window)) continue;
            std::optional<nlohmann::json> read = ReadMessageBox(window);
            if (!read) continue;
            nlohmann::json box = std::move(*read);
            box["event"] = "box";
            box["at"] = elapsed;
            box["pressed"] = WideToUtf8(DismissMessageBox(window));
            out.Write(box);
            watch.answeredBoxes.insert(window);
            continue;
        }
        nlohmann::json facts = WindowFacts(window);
        auto& last = watch.lastFacts[window];
        if (facts != last) {
            last = facts;
            facts["event"] = "window";
            facts["at"] = elapsed;
            out.Write(facts);
        }
    }
    // Forget windows that are gone, so a later window that reuses a handle is reported.
    for (auto it = watch.answeredBoxes.begin(); it != watch.answeredBoxes.end();) {
        it = present.count(*it) ? std::next(it) : watch.answeredBoxes.erase(it);
    }
    for (auto it = watch.lastFacts.begin(); it != watch.lastFacts.end();) {
        it = present.count(it->first) ? std::next(it) : watch.lastFacts.erase(it);
    }
}

int Observe(ObservedProcess& process, Options& options, JsonLines& out) {
    out.Write({{"event", "started"}, {"pid", process.Id()}});
    const ULONGLONG start = GetTickCount64();
    Watch watch;
    while (!process.HasExited()) {
        const ULONGLONG elapsed = GetTickCount64() - start;
        if (options.timeoutMs && elapsed >= *options.timeoutMs) {
            process.Terminate();
            out.Write({{"event", "timeout"}, {"at", elapsed}});
            return kTimedOut;
        }
        while (!options.snapshotsAtMs.empty() && options.snapshotsAtMs.front() <= elapsed) {
            out.Write(SnapshotOf(process.Id(), options.snapshotsAtMs.front()));
            options.snapshotsAtMs.pop_front();
        }
        LookOnce(process.Id(), elapsed, watch, out);
        Sleep(kPollMs);
    }
    out.Write({{"event", "exit"}, {"code", process.ExitCode()}, {"at", GetTickCount64() - start}});
    return 0;
}

}  // namespace

int wmain(int count, wchar_t** args) {
    // Rectangles and pixels must be the real ones, as a system-DPI-aware app sees them.
    SetProcessDPIAware();
    std::optional<Options> options = ParseOptions(count, args);
    if (!options) {
        fwprintf(stderr, L"usage: qf_observer --out FILE [--timeout MS] [--cwd DIR] [--snapshot-at MS]... "
                         L"(--info | --pid PID | -- PROGRAM [ARGS...])\n");
        return kUsageError;
    }
    JsonLines out(options->out);
    if (!out.IsOpen()) return kUsageError;
    if (options->info) {
        out.Write({{"event", "info"}, {"localAppData", LocalAppDataFolder()}, {"dpi", SystemDpi()}});
        return 0;
    }
    std::optional<ObservedProcess> process = options->pid ? ObservedProcess::Attach(*options->pid)
                                                          : ObservedProcess::Launch(options->commandLine, options->folder);
    if (!process) {
        out.Write({{"event", "error"}, {"message", "cannot start or open the process"}, {"code", GetLastError()}});
        return kUsageError;
    }
    return Observe(*process, *options, out);
}
