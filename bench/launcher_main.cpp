#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/strings.h"
#include "common/unique_handle_win.h"
#include "measure.h"

// Start-up time as a person sees it: from process creation to the first
// visible top-level window of that process. The programs take turns, so a
// busy machine slows them all alike.
namespace {

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\') + 1); }

// Seconds until the window showed; negative when it never did.
double TimeToWindow(const std::wstring& exe) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const double start = Now();
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, FolderOf(exe).c_str(),
                        &startup, &process))
        return -1;
    const UniqueKernelHandle processHandle(process.hProcess);
    const UniqueKernelHandle threadHandle(process.hThread);
    Search search{process.dwProcessId, nullptr};
    double shown = -1;
    while (Now() - start < 60) {
        EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            shown = Now() - start;
            break;
        }
        if (WaitForSingleObject(processHandle.get(), 1) == WAIT_OBJECT_0) break;
    }
    if (search.found) PostMessageW(search.found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(processHandle.get(), 15000) != WAIT_OBJECT_0) TerminateProcess(processHandle.get(), 3);
    return shown;
}

std::vector<double> Milliseconds(const std::vector<double>& seconds) {
    std::vector<double> result;
    for (double value : seconds) result.push_back(value * 1000);
    return result;
}

}  // namespace

// qf_launch RUNS FLOOR.exe PROGRAM.exe [DIAGNOSTIC.exe]: the program, and the
// optional diagnostic variant, each against the floor.
int wmain(int argc, wchar_t** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: qf_launch RUNS FLOOR.exe PROGRAM.exe [DIAGNOSTIC.exe]\n");
        return 2;
    }
    const int runs = _wtoi(argv[1]);
    const std::vector<std::wstring> programs(argv + 2, argv + argc);
    // A first round settles the Wine session (its desktop process, caches) and is not counted.
    for (const std::wstring& program : programs) TimeToWindow(program);
    std::vector<std::vector<double>> times(programs.size());
    for (int run = 0; run < runs; ++run) {
        for (size_t i = 0; i < programs.size(); ++i) {
            const double seconds = TimeToWindow(programs[i]);
            if (seconds < 0) Fail("a program showed no window: " + WideToUtf8(programs[i]));
            times[i].push_back(seconds);
            Sleep(300);
        }
    }
    const double floor = Median(times[0]) * 1000;
    const std::string medianOf = " (median of " + std::to_string(runs) + ")";
    for (size_t i = 1; i < programs.size(); ++i) {
        const double program = Median(times[i]) * 1000;
        PrintFigure(i == 1 ? "start-up" : "start-up (diagnosis)",
                    i == 1 ? "process creation to visible main window" + medianOf
                           : "bare window linked with the host's libraries" + medianOf,
                    "ms", program, floor, program / floor,
                    {{"programMs", Milliseconds(times[i])},
                     {"floorMs", Milliseconds(times[0])},
                     {"program", WideToUtf8(programs[i])}});
    }
    return 0;
}
