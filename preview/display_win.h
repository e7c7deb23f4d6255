#pragma once

// Chromium's app window shown inside the host's window: reparented into the X window Wine made for the
// host's top-level window, and moved, sized, shown and focused with xdotool as the controller says.

#include <windows.h>

#include <string>

namespace preview {

class Display {
public:
    explicit Display(std::string windowClass) : windowClass_(std::move(windowClass)) {}
    void SetParent(HWND parent) { parent_ = parent; }
    // Each applies at once when Chromium's window is in place, or once it can be placed.
    void Place(const RECT& bounds);
    void Show(bool visible);
    void Focus();

private:
    bool Attach();
    void Apply();

    std::string windowClass_;
    HWND parent_ = nullptr;
    std::string chromiumWindow_;
    std::string hostWindow_;
    POINT offset_{};
    RECT bounds_{};
    bool visible_ = false;
};

}  // namespace preview
