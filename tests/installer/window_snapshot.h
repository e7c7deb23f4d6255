#pragma once
#include <windows.h>

#include <string>

// JSON object describing a progress window and its bar as they are now: caption,
// class, styles, outer and client rectangles, the screen size, and the bar's
// rectangle (in the window's client coordinates), range, step and position.
std::string WindowSnapshot(HWND window);
