#pragma once
#include <windows.h>

// Pumps the thread's messages until WM_QUIT (or a GetMessageW failure) and
// returns the quit message's code.
inline int RunMessageLoop() {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
