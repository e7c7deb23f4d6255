#include "app/main_window_win.h"

#include "app/window_frame_win.h"
#include "bridge/extension_host_win.h"
#include "common/dpi_win.h"
#include "common/strings.h"
#include "common/window_class_win.h"
#include "webview/app_webview_win.h"

namespace {

const wchar_t kWindowClass[] = L"Quillframe";
constexpr DWORD kResizableStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD kFixedStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_MOVE:
    case WM_MOVING:
        if (g_appWebView) g_appWebView->NotifyWindowMoved();
        return 0;
    case WM_SIZE:
        if (g_appWebView) g_appWebView->FitToWindow();
        return 0;
    case WM_SYSCOMMAND:
        // Alt alone or Alt+key never enters menu mode; the mouse still opens the
        // system menu and Alt+F4 still closes.
        if (wParam == SC_KEYMENU && static_cast<int32_t>(lParam) < 0x10000) return 0;
        break;
    case kExtensionMessageToPage:
        DeliverExtensionMessages();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool RegisterMainWindowClass(HINSTANCE instance, HICON icon) {
    return RegisterAppWindowClass(instance, kWindowClass, MainWndProc, icon, COLOR_WINDOW);
}

HWND CreateMainWindow(HINSTANCE instance, const AppManifest& manifest) {
    const DWORD style = manifest.resizable ? kResizableStyle : kFixedStyle;
    const SIZE outer = WindowSizeForClient(ScaleForDpi(manifest.width), ScaleForDpi(manifest.height), style, 0);
    return CreateWindowExW(0, kWindowClass, Utf8ToWide(manifest.title).c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                           outer.cx, outer.cy, nullptr, nullptr, instance, nullptr);
}
