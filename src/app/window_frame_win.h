#pragma once
#include <windows.h>

#include <cstdint>

// The outer size of a window without a menu whose client area is the given
// device pixels. The frame is added with saturation at the 32-bit limit: a
// huge client size asked for by a page must not wrap around to a negative one.
SIZE WindowSizeForClient(int32_t clientWidth, int32_t clientHeight, DWORD style, DWORD exStyle);
