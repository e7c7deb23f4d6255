#include "installer/setup_window_win.h"

#include <commctrl.h>

#include "common/dpi_win.h"
#include "common/window_class_win.h"

namespace {

const wchar_t kSetupWindowClass[] = L"WebView2Setup";

}  // namespace

bool RegisterSetupWindowClass(HINSTANCE instance, HICON icon) {
    return RegisterAppWindowClass(instance, kSetupWindowClass, SetupWndProc, icon, COLOR_MENU);
}

HWND CreateSetupWindow(HINSTANCE instance, const std::wstring& title) {
    const int width = ScaleForDpi(300);
    const int height = ScaleForDpi(90);
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2;
    const int y = GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2;
    return CreateWindowExW(0, kSetupWindowClass, title.c_str(), WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                           x, y, width, height, nullptr, nullptr, instance, nullptr);
}

HWND CreateProgressBar(HINSTANCE instance, HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, client.left + ScaleForDpi(10),
                               client.top + ScaleForDpi(10), client.right - client.left - ScaleForDpi(20),
                               client.bottom - client.top - ScaleForDpi(20), window, nullptr, instance, nullptr);
    SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageW(bar, PBM_SETSTEP, 1, 0);
    return bar;
}

LRESULT CALLBACK SetupWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
