// Watches the installer's progress window from outside the app. Usage:
//   progress_observer.exe [timeout-ms]
// Waits for a top-level "WebView2Setup" window, hooks its thread with
// progress_hook.dll (beside this program), prints a snapshot of the window and
// then every bar position it polls, one JSON line each, until the window is gone.
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

// The window is found while it is still being built; it counts once it is
// visible and holds its bar.
HWND WaitForWindow(DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < deadline) {
        HWND window = FindWindowW(L"WebView2Setup", nullptr);
        if (window && IsWindowVisible(window) && FindWindowExW(window, nullptr, PROGRESS_CLASSW, nullptr)) {
            return window;
        }
        Sleep(2);
    }
    return nullptr;
}

HHOOK HookThreadOf(HWND window) {
    HMODULE library = LoadLibraryW(BesideSelf(L"progress_hook.dll").c_str());
    if (!library) return nullptr;
    auto procedure = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(library, "ProgressHookProc")));
    if (!procedure) return nullptr;
    return SetWindowsHookExW(WH_CALLWNDPROC, procedure, library, GetWindowThreadProcessId(window, nullptr));
}

long Position(HWND bar) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &result)) return -1;
    return static_cast<long>(result);
}

}  // namespace

int main(int argc, char** argv) {
    const DWORD timeoutMs = argc > 1 ? static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)) : 60000;
    HWND window = WaitForWindow(timeoutMs);
    if (!window) {
        Print("{\"event\":\"timeout\"}");
        return 1;
    }
    HHOOK hook = HookThreadOf(window);
    Print(std::string("{\"event\":\"hooked\",\"ok\":") + (hook ? "true" : "false") + "}");
    Print("{\"event\":\"window\",\"window\":" + WindowSnapshot(window) + "}");
    HWND bar = FindWindowExW(window, nullptr, PROGRESS_CLASSW, nullptr);
    long last = -2;
    while (IsWindow(window)) {
        const long position = Position(bar);
        if (position != last && IsWindow(window)) Print("{\"event\":\"pos\",\"pos\":" + std::to_string(position) + "}");
        last = position;
        Sleep(2);
    }
    Print("{\"event\":\"gone\"}");
    if (hook) UnhookWindowsHookEx(hook);
    return 0;
}
