// qf_preview_run: starts the host for scripts/preview.sh and prints what a person would read in each box
// the host shows, as soon as it shows, since a start-up box otherwise stops the host unseen until
// someone answers it.
//
//   qf_preview_run [--end-on-box] -- PROGRAM [ARGS...]
//
// One line per box on stdout: "box: <caption>: <text>". With --end-on-box (nobody to answer it) the
// program is ended after its first box. The exit code is the program's, or 1 when it was ended.

#include <windows.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "common/strings.h"
#include "common/unique_handle_win.h"

namespace {

constexpr wchar_t kDialogClass[] = L"#32770";
// The message box template gives its text control this id, on Windows and in Wine.
constexpr int kTextControlId = 0xFFFF;
constexpr UINT kReplyWaitMs = 3000;
constexpr DWORD kPollMs = 100;
constexpr int kUsageError = 2;

// Another process's window text; none while that process does not answer yet.
std::optional<std::wstring> TextOf(HWND window) {
    wchar_t text[4096] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                             kReplyWaitMs, &copied))
        return std::nullopt;
    return std::wstring(text, copied);
}

BOOL CALLBACK CollectBoxes(HWND window, LPARAM state) {
    auto* found = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(state);
    DWORD owner = 0;
    wchar_t kind[16] = {};
    GetWindowThreadProcessId(window, &owner);
    if (owner == found->first && IsWindowVisible(window) && GetClassNameW(window, kind, 16) &&
        wcscmp(kind, kDialogClass) == 0)
        found->second.push_back(window);
    return TRUE;
}

std::vector<HWND> BoxesOf(DWORD processId) {
    std::pair<DWORD, std::vector<HWND>> found{processId, {}};
    EnumWindows(CollectBoxes, reinterpret_cast<LPARAM>(&found));
    return found.second;
}

void Print(const std::wstring& line) {
    const std::string text = WideToUtf8(line) + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// A new box read whole; false while it is still being set up.
bool ReportBox(HWND box) {
    const auto caption = TextOf(box);
    HWND textControl = GetDlgItem(box, kTextControlId);
    const auto text = textControl ? TextOf(textControl) : std::nullopt;
    if (!caption || !text) return false;
    Print(L"box: " + *caption + L": " + *text);
    return true;
}

UniqueKernelHandle Start(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    // The host's own stderr (the preview runtime's log lines) goes where ours goes.
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return UniqueKernelHandle();
    UniqueKernelHandle thread(process.hThread);
    return UniqueKernelHandle(process.hProcess);
}

int Watch(HANDLE process, bool endOnBox) {
    const DWORD id = GetProcessId(process);
    std::set<HWND> reported;
    while (WaitForSingleObject(process, kPollMs) == WAIT_TIMEOUT) {
        for (HWND box : BoxesOf(id)) {
            if (reported.count(box) || !ReportBox(box)) continue;
            reported.insert(box);
            if (!endOnBox) continue;
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
            return 1;
        }
    }
    DWORD code = 1;
    GetExitCodeProcess(process, &code);
    return static_cast<int>(code);
}

}  // namespace

int wmain(int count, wchar_t** args) {
    bool endOnBox = false;
    int first = 1;
    if (first < count && wcscmp(args[first], L"--end-on-box") == 0) endOnBox = true, ++first;
    if (first + 1 >= count || wcscmp(args[first], L"--") != 0) {
        fwprintf(stderr, L"usage: qf_preview_run [--end-on-box] -- PROGRAM [ARGS...]\n");
        return kUsageError;
    }
    std::wstring commandLine;
    for (int i = first + 1; i < count; ++i) commandLine += (commandLine.empty() ? L"" : L" ") + Utf8ToWide(QuoteWindowsArgument(WideToUtf8(args[i])));
    const UniqueKernelHandle process = Start(commandLine);
    if (!process) {
        Print(L"could not start " + std::wstring(args[first + 1]));
        return kUsageError;
    }
    return Watch(process.get(), endOnBox);
}
