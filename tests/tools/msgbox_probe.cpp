// Test double for the observer's own tests. For each argument pair (caption, kind) it shows
// a message box with the text "probe: <kind>" ("cwd": the current directory instead); for
// the kind "hang" it starts a copy of itself that hangs and then hangs too; for "pid" it
// writes its process id into the file named by the first member of the pair. Exits with
// the last box's result.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "common/unique_handle_win.h"

namespace {

UINT FlagsFor(const std::wstring& kind) {
    if (kind == L"error") return MB_OK | MB_ICONERROR;
    if (kind == L"information") return MB_OK | MB_ICONINFORMATION;
    if (kind == L"warning") return MB_OK | MB_ICONWARNING;
    if (kind == L"question") return MB_OK | MB_ICONQUESTION;
    if (kind == L"yesno") return MB_YESNO | MB_ICONQUESTION;
    return MB_OK;
}

std::wstring CurrentDirectory() {
    wchar_t folder[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, folder);
    return folder;
}

// The child hangs without a further child, so the tree stays two processes deep.
void StartHangingChild() {
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" child hung";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return;
    UniqueKernelHandle thread(info.hThread);
    UniqueKernelHandle process(info.hProcess);
}

void WritePid(const wchar_t* path) {
    if (FILE* file = _wfopen(path, L"w")) {
        fprintf(file, "%lu", GetCurrentProcessId());
        fclose(file);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    int result = 0;
    for (int i = 1; i + 1 < count; i += 2) {
        const std::wstring kind = args[i + 1];
        if (kind == L"hang" || kind == L"hung") {
            if (kind == L"hang") StartHangingChild();
            Sleep(INFINITE);
        }
        if (kind == L"pid") {
            WritePid(args[i]);
            continue;
        }
        const std::wstring text = kind == L"cwd" ? CurrentDirectory() : L"probe: " + kind;
        result = MessageBoxW(nullptr, text.c_str(), args[i], FlagsFor(kind));
    }
    LocalFree(args);
    return result;
}
