// Watches the installer's progress window from outside the app. Usage:
//   progress_observer.exe STOP-FILE [TIMEOUT-MS] [--close]
// Start it before the app: it first hooks every thread of the session with
// progress_hook.dll (beside this program), then waits for a top-level
// "WebView2Setup" window, prints a snapshot of it and every bar position it
// polls, one JSON line each, until the window is gone. It gives up when
// STOP-FILE exists (the test creates it once the app has ended) or after the
// timeout; the hook lasts as long as this program runs. With --close it closes
// the window as soon as it has seen it, as a person pressing its close box would.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "json_line.h"
#include "window_snapshot.h"

namespace {

void Print(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::wstring BesideSelf(const wchar_t* name) {
    wchar_t path[32768];
    const DWORD length = GetModuleFileNameW(nullptr, path, 32768);
    const std::wstring self(path, length);
    return self.substr(0, self.rfind(L'\\') + 1) + name;
}

HHOOK HookEveryThread() {
    HMODULE library = LoadLibraryW(BesideSelf(L"progress_hook.dll").c_str());
    if (!library) return nullptr;
    auto procedure =
        reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(library, "ProgressHookProc")));
    if (!procedure) return nullptr;
    return SetWindowsHookExW(WH_CALLWNDPROC, procedure, library, 0);
}

class Deadline {
public:
    Deadline(const wchar_t* stopFile, DWORD timeoutMs) : stopFile_(stopFile), end_(GetTickCount64() + timeoutMs) {}
    bool Passed() const {
        return GetTickCount64() >= end_ || GetFileAttributesW(stopFile_) != INVALID_FILE_ATTRIBUTES;
    }

private:
    const wchar_t* stopFile_;
    ULONGLONG end_;
};

// The window is found while it is still being built; it counts once it is
// visible and holds its bar.
HWND WaitForWindow(const Deadline& deadline) {
    while (!deadline.Passed()) {
        HWND window = FindWindowW(L"WebView2Setup", nullptr);
        if (window && IsWindowVisible(window) && FindWindowExW(window, nullptr, PROGRESS_CLASSW, nullptr)) {
            return window;
        }
        Sleep(2);
    }
    return nullptr;
}

long Position(HWND bar) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &result)) return -1;
    return static_cast<long>(result);
}

void FollowBar(HWND window, const Deadline& deadline) {
    HWND bar = FindWindowExW(window, nullptr, PROGRESS_CLASSW, nullptr);
    long last = -2;
    while (IsWindow(window) && !deadline.Passed()) {
        const long position = Position(bar);
        if (position != last && IsWindow(window)) Print("{\"event\":\"pos\",\"pos\":" + std::to_string(position) + "}");
        last = position;
        Sleep(2);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 3;
    const Deadline deadline(argv[1], argc > 2 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) : 120000);
    HHOOK hook = HookEveryThread();
    Print(std::string("{\"event\":\"hooked\",\"ok\":") + (hook ? "true" : "false") + "}");
    const bool closeEarly = argc > 3 && std::wstring(argv[3]) == L"--close";
    HWND window = WaitForWindow(deadline);
    if (window) {
        Print("{\"event\":\"window\",\"window\":" + WindowSnapshot(window) + "}");
        if (closeEarly) PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        FollowBar(window, deadline);
        Print(IsWindow(window) ? "{\"event\":\"stopped\"}" : "{\"event\":\"gone\"}");
    } else {
        Print("{\"event\":\"stopped\"}");
    }
    while (!deadline.Passed()) Sleep(20);
    if (hook) UnhookWindowsHookEx(hook);
    return 0;
}
