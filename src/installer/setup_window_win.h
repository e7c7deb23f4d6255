#pragma once
#include <windows.h>

#include <string>

// The small centred window that shows the download's progress. Its class is
// "WebView2Setup"; destroying it ends the installer's message loop.
bool RegisterSetupWindowClass(HINSTANCE instance, HICON icon);
HWND CreateSetupWindow(HINSTANCE instance, const std::wstring& title);

// The bar that fills the window's client area less a margin; range 0 to 100.
HWND CreateProgressBar(HINSTANCE instance, HWND window);

LRESULT CALLBACK SetupWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
