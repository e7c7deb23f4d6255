// Hook library that the observer installs for every thread of the session. In
// the app it sees each message sent to the progress window and its bar before
// they are handled, so it catches the bar's last position although the window
// closes right after. Records go to QF_TEST_PROGRESS_LOG, else
// "progress-hook.jsonl" beside the DLL.
//
// With QF_TEST_FAIL_THREAD_START=1 in the app's environment it also makes the
// installer's download thread fail to start: when the bar gets its step (the
// last thing before the thread is started) the app's _beginthreadex import is
// pointed at a stand-in that fails.
#include <windows.h>
#include <commctrl.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "import_patch.h"
#include "json_line.h"
#include "window_snapshot.h"

namespace {

const wchar_t kSetupClass[] = L"WebView2Setup";

HMODULE g_module = nullptr;

std::wstring Environment(const wchar_t* name) {
    wchar_t value[32768];
    const DWORD length = GetEnvironmentVariableW(name, value, 32768);
    return length > 0 && length < 32768 ? std::wstring(value, length) : std::wstring();
}

std::wstring LogPath() {
    const std::wstring fromEnvironment = Environment(L"QF_TEST_PROGRESS_LOG");
    if (!fromEnvironment.empty()) return fromEnvironment;
    wchar_t path[32768];
    const DWORD length = GetModuleFileNameW(g_module, path, 32768);
    const std::wstring self(path, length);
    return self.substr(0, self.rfind(L'\\') + 1) + L"progress-hook.jsonl";
}

bool HasClass(HWND window, const wchar_t* expected) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return lstrcmpiW(name, expected) == 0;
}

bool IsSetupBar(HWND window) {
    return HasClass(window, PROGRESS_CLASSW) && HasClass(GetParent(window), kSetupClass);
}

uintptr_t __cdecl FailingBeginThreadEx(void*, unsigned, unsigned(__stdcall*)(void*), void*, unsigned, unsigned*) {
    errno = EAGAIN;
    return 0;
}

void BlockThreadStart() {
    const int patched = PatchImports(GetModuleHandleW(nullptr), "_beginthreadex",
                                     reinterpret_cast<void*>(&FailingBeginThreadEx));
    AppendLine(LogPath(), "{\"event\":\"threadStartBlocked\",\"imports\":" + std::to_string(patched) + "}");
}

void Observe(const CWPSTRUCT& sent, bool fromOtherThread) {
    const std::string sender = fromOtherThread ? "true" : "false";
    if (sent.message == PBM_SETPOS && IsSetupBar(sent.hwnd)) {
        AppendLine(LogPath(), "{\"event\":\"setpos\",\"pos\":" + std::to_string(sent.wParam) +
                                  ",\"fromOtherThread\":" + sender + "}");
    } else if (sent.message == PBM_SETSTEP && IsSetupBar(sent.hwnd)) {
        if (Environment(L"QF_TEST_FAIL_THREAD_START") == L"1") BlockThreadStart();
    } else if (sent.message == WM_CLOSE && HasClass(sent.hwnd, kSetupClass)) {
        AppendLine(LogPath(), "{\"event\":\"close\",\"fromOtherThread\":" + sender +
                                  ",\"window\":" + WindowSnapshot(sent.hwnd) + "}");
    } else if (sent.message == WM_DESTROY && HasClass(sent.hwnd, kSetupClass)) {
        AppendLine(LogPath(), "{\"event\":\"destroy\",\"fromOtherThread\":" + sender + "}");
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
