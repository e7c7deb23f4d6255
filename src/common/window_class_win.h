#pragma once
#include <windows.h>

// Registers a redrawn-on-resize window class with the arrow cursor, the app's
// icon (null: the system's) and the given system colour as background; false
// when Windows refuses.
inline bool RegisterAppWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HICON icon,
                                   int backgroundColor) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon;
    windowClass.hIconSm = icon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(backgroundColor + 1));
    windowClass.lpszClassName = name;
    return RegisterClassExW(&windowClass) != 0;
}
