#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "handle_list.h"

// qf_process_handles PID: prints {"pid":PID,"handles":N} for another process,
// so a test can watch the host's handles from outside while it runs.
int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qf_process_handles PID\n");
        return 2;
    }
    const DWORD processId = static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10));
    std::printf("{\"pid\":%lu,\"handles\":%lld}\n", static_cast<unsigned long>(processId),
                static_cast<long long>(HandlesOfProcess(processId)));
    return 0;
}
