#pragma once
#include <windows.h>

#include <cstdint>

// Handles a process holds, counted in the system's handle list. Works where
// GetProcessHandleCount does not (Wine answers it with 0); -1 when the list
// cannot be read.
int64_t HandlesOfProcess(DWORD processId);
