#pragma once
#include <cstdint>

// What the page may ask of the main window. Sizes and positions are logical
// pixels; the window side scales them to the system DPI.
class WindowControl {
public:
    virtual void SetFullscreen(bool enter) = 0;
    virtual void SetWindowSize(int32_t width, int32_t height) = 0;
    virtual void SetWindowPosition(int32_t x, int32_t y) = 0;

protected:
    ~WindowControl() = default;
};
