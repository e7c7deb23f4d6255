#include "common/dpi_win.h"
#include "app/window_frame_win.h"
#include "webview/app_webview_win.h"

namespace {

constexpr LONG kFullscreenStyleMask = static_cast<LONG>(0xFF3BFFFFu);    // no caption, no sizing frame
constexpr LONG kFullscreenExStyleMask = static_cast<LONG>(0xFFFDFCFEu);  // no frame edges

}  // namespace

void AppWebView::SetFullscreen(bool enter) {
    if (enter == isFullscreen) return;
    isFullscreen = enter;

    RECT target{};
    if (enter) {
        savedStyle = GetWindowLongW(window, GWL_STYLE);
        savedExStyle = GetWindowLongW(window, GWL_EXSTYLE);
        GetWindowRect(window, &savedWindowRect);
        SetWindowLongW(window, GWL_STYLE, savedStyle & kFullscreenStyleMask);
        SetWindowLongW(window, GWL_EXSTYLE, savedExStyle & kFullscreenExStyleMask);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
        target = monitor.rcMonitor;  // the whole monitor, taskbar area included
    } else {
        SetWindowLongW(window, GWL_STYLE, savedStyle);
        SetWindowLongW(window, GWL_EXSTYLE, savedExStyle);
        target = savedWindowRect;
    }
    SetWindowPos(window, nullptr, target.left, target.top, target.right - target.left, target.bottom - target.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);

    // Created on first use; a failed creation is tried again on the next change.
    if (!taskbarList &&
        SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&taskbarList))) &&
        FAILED(taskbarList->HrInit())) {
        taskbarList.Reset();
    }
    if (taskbarList) taskbarList->MarkFullscreenWindow(window, enter ? TRUE : FALSE);
}

void AppWebView::SetWindowSize(int32_t width, int32_t height) {
    if (isFullscreen || width <= 0 || height <= 0) return;
    const DWORD style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
    const SIZE outer = WindowSizeForClient(ScaleForDpi(width), ScaleForDpi(height), style, exStyle);
    SetWindowPos(window, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void AppWebView::SetWindowPosition(int32_t x, int32_t y) {
    if (isFullscreen) return;
    SetWindowPos(window, nullptr, ScaleForDpi(x), ScaleForDpi(y), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
