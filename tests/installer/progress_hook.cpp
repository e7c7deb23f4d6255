// Hook library that the observer puts on the app's UI thread. It sees every
// message sent to the progress window and its bar before they are handled, so it
// catches the bar's last position even though the window closes right after.
// Records go to QF_TEST_PROGRESS_LOG, else "progress-hook.jsonl" beside the DLL.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "json_line.h"
#include "window_snapshot.h"

namespace {

HMODULE g_module = nullptr;

std::wstring LogPath() {
    wchar_t path[32768];
    DWORD length = GetEnvironmentVariableW(L"QF_TEST_PROGRESS_LOG", path, 32768);
    if (length > 0 && length < 32768) return std::wstring(path, length);
    length = GetModuleFileNameW(g_module, path, 32768);
    const std::wstring self(path, length);
    return self.substr(0, self.rfind(L'\\') + 1) + L"progress-hook.jsonl";
}

bool HasClass(HWND window, const wchar_t* expected) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return lstrcmpiW(name, expected) == 0;
}

void Observe(const CWPSTRUCT& sent, bool fromOtherThread) {
    const std::string sender = fromOtherThread ? "true" : "false";
    if (sent.message == PBM_SETPOS && HasClass(sent.hwnd, PROGRESS_CLASSW)) {
        AppendLine(LogPath(), "{\"event\":\"setpos\",\"pos\":" + std::to_string(sent.wParam) +
                                  ",\"fromOtherThread\":" + sender + "}");
    } else if (sent.message == WM_CLOSE && HasClass(sent.hwnd, L"WebView2Setup")) {
        AppendLine(LogPath(), "{\"event\":\"close\",\"fromOtherThread\":" + sender +
                                  ",\"window\":" + WindowSnapshot(sent.hwnd) + "}");
    }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ProgressHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) Observe(*reinterpret_cast<const CWPSTRUCT*>(lParam), wParam == 0);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}
