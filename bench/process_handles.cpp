#include "process_handles.h"

#include <windows.h>
#include <psapi.h>

#include "handle_list.h"

// A process always holds some handles and some private memory, so a zero means
// the call is not implemented (as in Wine); the next best source is used then.
ProcessCounts CountOwnResources() {
    ProcessCounts counts{};
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    counts.privateBytes = static_cast<double>(memory.PrivateUsage);
    counts.privateBytesSource = "GetProcessMemoryInfo PrivateUsage";
    if (counts.privateBytes == 0) {
        counts.privateBytes = static_cast<double>(memory.PagefileUsage);
        counts.privateBytesSource = "GetProcessMemoryInfo PagefileUsage (anonymous memory; PrivateUsage reads 0)";
    }
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    counts.handles = handles;
    counts.handlesSource = "GetProcessHandleCount";
    if (handles == 0) {
        counts.handles = static_cast<double>(HandlesOfProcess(GetCurrentProcessId()));
        counts.handlesSource = "system handle list (GetProcessHandleCount reads 0)";
    }
    return counts;
}
