#include "app/window_operations_win.h"

#include "app/window_frame_win.h"
#include "common/dpi_win.h"

namespace {

// Full screen has no caption and no sizing frame, and no frame edges.
constexpr LONG kFullscreenRemovedStyle = WS_CAPTION | WS_THICKFRAME;
constexpr LONG kFullscreenRemovedExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE | WS_EX_STATICEDGE;

}  // namespace

void WindowOperations::SetFullscreen(bool enter) {
    if (enter == isFullscreen_) return;
    isFullscreen_ = enter;

    RECT target{};
    if (enter) {
        savedStyle_ = GetWindowLongW(window_, GWL_STYLE);
        savedExStyle_ = GetWindowLongW(window_, GWL_EXSTYLE);
        GetWindowRect(window_, &savedWindowRect_);
        SetWindowLongW(window_, GWL_STYLE, savedStyle_ & ~kFullscreenRemovedStyle);
        SetWindowLongW(window_, GWL_EXSTYLE, savedExStyle_ & ~kFullscreenRemovedExStyle);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor);
        target = monitor.rcMonitor;  // the whole monitor, taskbar area included
    } else {
        SetWindowLongW(window_, GWL_STYLE, savedStyle_);
        SetWindowLongW(window_, GWL_EXSTYLE, savedExStyle_);
        target = savedWindowRect_;
    }
    SetWindowPos(window_, nullptr, target.left, target.top, target.right - target.left, target.bottom - target.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    MarkFullscreenOnTaskbar(enter);
}

// Created on first use; a failed creation is tried again on the next change.
void WindowOperations::MarkFullscreenOnTaskbar(bool enter) {
    if (!taskbarList_ &&
        SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&taskbarList_))) &&
        FAILED(taskbarList_->HrInit())) {
        taskbarList_.Reset();
    }
    if (taskbarList_) taskbarList_->MarkFullscreenWindow(window_, enter ? TRUE : FALSE);
}

void WindowOperations::SetWindowSize(int32_t width, int32_t height) {
    if (isFullscreen_ || width <= 0 || height <= 0) return;
    const DWORD style = static_cast<DWORD>(GetWindowLongW(window_, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(window_, GWL_EXSTYLE));
    const SIZE outer = WindowSizeForClient(ScaleForDpi(width), ScaleForDpi(height), style, exStyle);
    SetWindowPos(window_, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void WindowOperations::SetWindowPosition(int32_t x, int32_t y) {
    if (isFullscreen_) return;
    SetWindowPos(window_, nullptr, ScaleForDpi(x), ScaleForDpi(y), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
