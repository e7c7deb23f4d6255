#include "process_handles.h"

#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <vector>

namespace {

// The system handle list (information class 16), one entry per open handle.
struct SystemHandleEntry {
    ULONG ownerProcessId;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
};
struct SystemHandleList {
    ULONG count;
    SystemHandleEntry handles[1];
};
constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);

double HandlesInSystemList() {
    std::vector<char> buffer(1 << 20);
    ULONG needed = 0;
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(kSystemHandleInformation, buffer.data(),
                                              static_cast<ULONG>(buffer.size()), &needed)) == kInfoLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status != 0) return 0;
    const auto* list = reinterpret_cast<const SystemHandleList*>(buffer.data());
    const DWORD self = GetCurrentProcessId();
    double count = 0;
    for (ULONG i = 0; i < list->count; ++i)
        if (list->handles[i].ownerProcessId == self) ++count;
    return count;
}

}  // namespace

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
        counts.handles = HandlesInSystemList();
        counts.handlesSource = "system handle list (GetProcessHandleCount reads 0)";
    }
    return counts;
}
