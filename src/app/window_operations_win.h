#pragma once
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include "bridge/window_control.h"

// What the page and the web view may do to the main window: full screen,
// size and position. Owns the state full screen has to give back.
class WindowOperations final : public WindowControl {
public:
    explicit WindowOperations(HWND window) : window_(window) {}
    WindowOperations(const WindowOperations&) = delete;
    WindowOperations& operator=(const WindowOperations&) = delete;

    void SetFullscreen(bool enter) override;
    // Ignored in full screen and for sizes that are not positive.
    void SetWindowSize(int32_t width, int32_t height) override;
    // Ignored in full screen.
    void SetWindowPosition(int32_t x, int32_t y) override;

private:
    void MarkFullscreenOnTaskbar(bool enter);

    HWND window_;
    bool isFullscreen_ = false;
    LONG savedStyle_ = 0;
    LONG savedExStyle_ = 0;
    RECT savedWindowRect_{};
    Microsoft::WRL::ComPtr<ITaskbarList2> taskbarList_;
};
