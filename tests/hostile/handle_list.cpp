#include "handle_list.h"

#include <winternl.h>

#include <vector>

namespace {

// The system handle list (information class 16): one entry per open handle.
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

}  // namespace

int64_t HandlesOfProcess(DWORD processId) {
    std::vector<char> buffer(1 << 20);
    ULONG needed = 0;
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(kSystemHandleInformation, buffer.data(),
                                              static_cast<ULONG>(buffer.size()), &needed)) == kInfoLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status != 0) return -1;
    const auto* list = reinterpret_cast<const SystemHandleList*>(buffer.data());
    int64_t count = 0;
    for (ULONG i = 0; i < list->count; ++i)
        if (list->handles[i].ownerProcessId == processId) ++count;
    return count;
}
